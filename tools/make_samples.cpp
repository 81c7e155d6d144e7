// Makes the bundled samples: a video container holding a melody for cinerip
// (22050 samples per second, its default), a raw block stream holding a
// chord for blockrip (11025, its default), and a file of each sound format
// that the page reads (sound_samples.hpp says what each holds).
#include "adpcm_encoder.hpp"
#include "file_writer.hpp"
#include "sample_files.hpp"
#include "sound_samples.hpp"

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
    bool written = write_file(directory + "/fanfare.str", build_container(melody, plan)) &&
                   write_file(directory + "/chord.vb", raw_block_stream(chord));
    for (const named_bytes& sample : sound_format_samples()) {
        written = written && write_file(directory + "/" + sample.name, sample.bytes);
    }
    if (!written) {
        std::fputs("make_samples: cannot write the samples\n", stderr);
        return 1;
    }
    return 0;
}
