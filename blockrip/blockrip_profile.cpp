#include "blockrip.hpp"

const converter_profile blockrip_profile{
    .banner = "blockrip converter v0.2 - Orlandel\r\n",
    .usage = "Usage is: blockrip <-22> file\r\n"
             "The sound is assumed to be sampled at 11khz, unless the -22 switch is used.\r\n"
             "In this case 22khz will be assumed\r\n",
    .rate_switch = "-22",
    .switch_message = "-22 switch detected, saving WAV file at 22kHz\r\n",
    .default_rate = sample_rate::hz11025,
    .switched_rate = sample_rate::hz22050,
    .input_stage = read_block_stream,
};
