# Empty dependencies file for zereduv_tests.
# This may be replaced when dependencies are built.
