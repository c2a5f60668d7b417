# Empty compiler generated dependencies file for pillbox_table.
# This may be replaced when dependencies are built.
