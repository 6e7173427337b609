// Learns the melody finder's weights from the labelled songs and writes them as
// the table song/MelodyModel.inc that the finder compiles in.
//
// usage: train_melody CORPUS_DIR TRUTH_TSV OUT_INC
//
//   scripts/melody-corpus
//   build/bin/train_melody build/melody-corpus bench/melody-truth.tsv song/MelodyModel.inc

#include <cstdio>
#include <string>
#include <vector>

#include "bench/MelodyTraining.h"
#include "fileio/FileReplacer.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: train_melody CORPUS_DIR TRUTH_TSV OUT_INC\n");
        return 2;
    }
    std::vector<LabelledSong> labels;
    std::vector<LoadedSong> songs;
    int excluded = 0;
    std::string error;
    if (!ReadMelodyTruth(argv[2], labels, excluded, error) || !LoadLabelledSongs(argv[1], labels, songs, error)) {
        std::fprintf(stderr, "train_melody: %s\n", error.c_str());
        return 1;
    }
    const MelodyWeights weights = TrainOn(songs, [](const LoadedSong&) { return true; });
    std::string table = "// The melody finder's weights, one per descriptor in the order of MelodyDescriptor,\n"
                        "// learned from " + std::to_string(songs.size()) +
                        " labelled songs. Written by bench/train_melody; do not edit. Again:\n"
                        "//   scripts/melody-corpus\n"
                        "//   build/bin/train_melody build/melody-corpus bench/melody-truth.tsv song/MelodyModel.inc\n";
    for (std::size_t k = 0; k < kMelodyDescriptorCount; ++k) {
        char line[96];
        std::snprintf(line, sizeof line, "    %+.4f, // %s\n", weights[k],
                      std::string(MelodyDescriptorName(static_cast<MelodyDescriptor>(k))).c_str());
        table += line;
    }
    FileError writeError;
    if (!ReplaceFileWith(argv[3], table.data(), table.size(), writeError)) {
        std::fprintf(stderr, "train_melody: cannot write %s: %s\n", writeError.strFile.c_str(),
                     writeError.strReason.c_str());
        return 1;
    }
    std::printf("train_melody: %zu songs, weights written to %s\n", songs.size(), argv[3]);
    return 0;
}
