/* The check's resource module holds bitmaps and sounds only; this is its one symbol. */
int twl_resource_module_version = 1;
