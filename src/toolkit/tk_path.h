// The running program's own path, from /proc/self/exe.
#pragma once

#include <string>

// The program's full path. A failure of the system query is an assertion failure.
std::string tk_get_module_path();
std::u16string tk_get_module_wpath();
// The folder of the program's path, with its trailing separator.
std::string tk_get_program_folder();
