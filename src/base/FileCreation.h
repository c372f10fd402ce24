#pragma once

// Creating and naming files without ever touching what is already there: a name that is
// taken (a file, a folder, a link, even a dangling one) is reported, never written through
// or replaced.

// Creates path for writing, only when nothing has that name yet. The descriptor, or -1
// with errno set (EEXIST: the name is taken).
int CreateExclusive(const char* path, int mode = 0666);

// Gives the file from the name to, only when nothing has that name yet. 0, or the errno
// value of the failure (EEXIST: the name is taken). File systems without the no-replace
// rename get a hard link and an unlink; those without hard links a rename over an empty
// file created here first, so nothing but our own file is ever replaced.
int RenameNoReplace(const char* from, const char* to);
