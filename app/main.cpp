#include "commandline.h"

int main(int argc, char** argv) { return runHostApplication(argc, argv); }
