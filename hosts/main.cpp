#include "hosts/cli/Cli.h"

int main(int argc, char** argv)
{
    return hosts::runCommandLine(argc, argv);
}
