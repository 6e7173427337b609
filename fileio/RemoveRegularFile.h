#pragma once
// Deleting a file the program made.

#include <string>

// Deletes `path` when it is a regular file. A symbolic link (to anything), a
// directory, a device or a FIFO is left where it is: a caller that names one did not
// make it. True when no file of that name is left; false when something else is there
// or the deletion failed.
bool RemoveRegularFile(const std::string& path);
