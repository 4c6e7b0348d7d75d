// The program's arguments, kept from the start for the parts that read them (the start-up lens
// command, the help command's file name).
#pragma once

#include <string>
#include <vector>

// The program's arguments (argument 0 the program itself).
void set_program_arguments(int argc, const char* const* argv);
const std::vector<std::string>& program_arguments();
// The program's file name without folder and extension (at most 80 characters), from argument
// 0; empty before the arguments are set.
const std::string& program_base_name();
// The folder the program was started in (the current folder when the arguments were set): a
// relative file name among the arguments is taken from there, not from the lens folder that
// start-up then makes current. Empty before the arguments are set.
const std::string& start_folder();
// Forgets the arguments (tests).
void reset_program_arguments();
