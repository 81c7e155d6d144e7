#include "cinerip.hpp"
#include "program_entry.hpp"

int main(int argc, char** argv)
{
    return program_entry(cinerip_profile, argc, argv);
}
