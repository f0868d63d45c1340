#include "app/converter.h"

#include <iostream>

int main(int argc, char* argv[]) {
    return RunConvert(argc, argv, std::cout, std::cerr);
}
