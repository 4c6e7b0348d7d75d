#include <string>
#include <vector>

#include "msgcompiler/vdm_run.h"

int main(int argc, char** argv) {
    return vdm::run(std::vector<std::string>(argv + 1, argv + argc));
}
