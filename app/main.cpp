#include "app/program.h"

int main(int argc, char** argv) { return trovabild::programMain(argc, argv); }
