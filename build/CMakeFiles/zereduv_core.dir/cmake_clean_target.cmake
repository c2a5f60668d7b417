file(REMOVE_RECURSE
  "libzereduv_core.a"
)
