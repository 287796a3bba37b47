#include <cstdio>

int main(int, char**) {
    std::printf("qvx-sim\n");
    return 0;
}
