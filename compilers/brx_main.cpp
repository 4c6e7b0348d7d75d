#include <string>
#include <vector>

#include "compilers/user_compile.h"

int main(int argc, char** argv) {
    return compilers::run(compilers::Tool::lists, std::vector<std::string>(argv + 1, argv + argc));
}
