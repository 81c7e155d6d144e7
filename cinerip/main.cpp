#include "cinerip.hpp"
#include "program_entry.hpp"

int main(int argc, char** argv)
{
    return run_conversion(cinerip_profile, argc, argv);
}
