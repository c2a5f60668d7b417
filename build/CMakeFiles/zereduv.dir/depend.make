# Empty dependencies file for zereduv.
# This may be replaced when dependencies are built.
