#include "blockrip.hpp"
#include "program_entry.hpp"

int main(int argc, char** argv)
{
    return program_entry(blockrip_profile, argc, argv);
}
