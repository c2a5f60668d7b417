# Empty dependencies file for zereduv_core.
# This may be replaced when dependencies are built.
