#include "cinerip.hpp"

const converter_profile cinerip_profile{
    .banner = "cinerip converter v0.2 - Orlandel\r\n"
              "Rips to WAV format the audio track of Starvane PSX videos\r\n",
    .usage = "Usage is: cinerip <-11> file\r\n"
             "The sound is assumed to be sampled at 22khz, unless the -11 switch is used.\r\n"
             "In this case 11khz will be assumed\r\n",
    .rate_switch = "-11",
    .switch_message = "-11 switch detected, saving WAV file at 11kHz\r\n",
    .default_rate = sample_rate::hz22050,
    .switched_rate = sample_rate::hz11025,
    .input_stage = scan_chunks,
};
