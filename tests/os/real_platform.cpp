// The POSIX file primitives, under the names real_*: faulty_platform.cpp
// puts primitives that can fail on purpose in their place.
#define open_for_reading real_open_for_reading
#define make_blocking real_make_blocking
#define read_some real_read_some
#define seek_to real_seek_to
#define close_file real_close_file
#define open_for_writing real_open_for_writing
#define create_exclusive real_create_exclusive
#define write_some real_write_some
#define sync_file real_sync_file
#define rename_over real_rename_over
#define remove_file real_remove_file
#define make_folder real_make_folder
#define remove_folder real_remove_folder
#define read_link real_read_link
#define open_folder real_open_folder
#define set_owner real_set_owner
#define set_mode real_set_mode
#include "os/platform_posix.cpp"
