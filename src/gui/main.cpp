#include "app/application.h"

int main(int argc, char** argv) {
    return qvx::gui::StartApplication(argc, argv);
}
