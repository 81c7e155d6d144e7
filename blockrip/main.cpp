#include "blockrip.hpp"
#include "program_entry.hpp"

int main(int argc, char** argv)
{
    return run_conversion(blockrip_profile, argc, argv);
}
