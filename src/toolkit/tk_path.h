// The running program's own path (from /proc/self/exe) and the existence tests for files and
// folders. Existence tests never fail: they answer false. Any thread may call these.
#pragma once

#include <string>

// The program's full path. A failure of the system query is an assertion failure.
std::string tk_get_module_path();
std::u16string tk_get_module_wpath();
// The folder of the program's path, with its trailing separator.
std::string tk_get_program_folder();

// Whether `path` names an existing file that opens for reading and writing (mode 1) or for
// reading (any other mode). Folders are not files. Traces "tk_is_file_exist(%s)" and, when the
// answer is no, "File not exists!" at level 1. A missing path answers false.
bool tk_is_file_exist(const char* path, int mode = 0);
bool tk_is_file_exist(const std::string& path, int mode = 0);
bool tk_is_file_exist(const std::u16string& path, int mode = 0);

// Whether `path` names a folder that the program could change into. An empty path stands for
// the program's folder and answers true. The current folder is never changed. Traces
// "tk_is_path_exist(%s)" at level 1.
bool tk_is_path_exist(const std::u16string& path);
bool tk_is_path_exist(const std::string& path);
