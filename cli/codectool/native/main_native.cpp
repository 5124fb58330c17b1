#include "cli/codectool/codectool.h"

int main(int argc, char** argv) {
    return codectool_run(argc, argv);
}
