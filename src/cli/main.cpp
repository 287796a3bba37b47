#include <cstdio>

#include "app/version.h"

int main(int, char**) {
    std::printf("%s\n", qvx::kProgramTitle);
    return 0;
}
