// Makes the bundled samples: a video container holding a melody for cinerip
// (22050 samples per second, its default) and a raw block stream holding a
// chord for blockrip (11025, its default).
#include "adpcm_encoder.hpp"
#include "file_writer.hpp"
#include "sample_files.hpp"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_samples <directory>\n", stderr);
        return 1;
    }
    const std::string directory = argv[1];
    const std::vector<adpcm_block> melody = encode_signal(make_melody(22050));
    const std::vector<adpcm_block> chord = encode_signal(make_chord(11025));
    const container_plan plan{{128, 96, 128, 64}, {1024, 3000, 512}};
    if (!write_file(directory + "/fanfare.str", build_container(melody, plan)) ||
        !write_file(directory + "/chord.vb", raw_block_stream(chord))) {
        std::fputs("make_samples: cannot write the samples\n", stderr);
        return 1;
    }
    return 0;
}
