#include "song/GmNames.h"

#include <cstdio>
#include <cstring>

namespace {

// Fixed 80-character slots, as the channel labels are formatted from them.
constexpr char kGmProgramNames[128][80] = {
    "PIANO/Acoustic Grand",
    "PIANO/Bright Acoustic",
    "PIANO/Electric Grand",
    "PIANO/Honky-Tonk",
    "PIANO/Electric Piano 1",
    "PIANO/Electric Piano 2",
    "PIANO/Harpsichord",
    "PIANO/Clav",
    "PERCUSSION/Celesta",
    "PERCUSSION/Glockenspiel",
    "PERCUSSION/Music Box",
    "PERCUSSION/Vibraphone",
    "PERCUSSION/Marimba",
    "PERCUSSION/Xylophone",
    "PERCUSSION/Tubular Bells",
    "PERCUSSION/Dulcimer",
    "ORGAN/Drawbar Organ",
    "ORGAN/Percussive Organ",
    "ORGAN/Rock Organ",
    "ORGAN/Church Organ",
    "ORGAN/Reed Organ",
    "ORGAN/Accoridan",
    "ORGAN/Harmonica",
    "ORGAN/Tango Accordian",
    "GUITAR/Acoustic Guitar(nylon)",
    "GUITAR/Acoustic Guitar(steel)",
    "GUITAR/Electric Guitar(jazz)",
    "GUITAR/Electric Guitar(clean)",
    "GUITAR/Electric Guitar(muted)",
    "GUITAR/Overdriven Guitar",
    "GUITAR/Distortion Guitar",
    "GUITAR/Guitar Harmonics",
    "BASS/Acoustic Bass",
    "BASS/Electric Bass(finger)",
    "BASS/Electric Bass(pick)",
    "BASS/Fretless Bass",
    "BASS/Slap Bass 1",
    "BASS/Slap Bass 2",
    "BASS/Synth Bass 1",
    "BASS/Synth Bass 2",
    "STRINGS/Violin",
    "STRINGS/Viola",
    "STRINGS/Cello",
    "STRINGS/Contrabass",
    "STRINGS/Tremolo Strings",
    "STRINGS/Pizzicato Strings",
    "STRINGS/Orchestral Strings",
    "STRINGS/Timpani",
    "ENSEMBLE/String Ensemble 1",
    "ENSEMBLE/String Ensemble 2",
    "ENSEMBLE/SynthStrings 1",
    "ENSEMBLE/SynthStrings 2",
    "ENSEMBLE/Choir Aahs",
    "ENSEMBLE/Voice Oohs",
    "ENSEMBLE/Synth Voice",
    "ENSEMBLE/Orchestra Hit",
    "BRASS/Trumpet",
    "BRASS/Trombone",
    "BRASS/Tuba",
    "BRASS/Muted Trumpet",
    "BRASS/French Horn",
    "BRASS/Brass Section",
    "BRASS/SynthBrass 1",
    "BRASS/SynthBrass 2",
    "REED/Soprano Sax",
    "REED/Alto Sax",
    "REED/Tenor Sax",
    "REED/Baritone Sax",
    "REED/Oboe",
    "REED/English Horn",
    "REED/Bassoon",
    "REED/Clarinet",
    "PIPE/Piccolo",
    "PIPE/Flute",
    "PIPE/Recorder",
    "PIPE/Pan Flute",
    "PIPE/Blown Bottle",
    "PIPE/Skakuhachi",
    "PIPE/Whistle",
    "PIPE/Ocarina",
    "SYNTH LEAD/Lead 1 (square)",
    "SYNTH LEAD/Lead 2 (sawtooth)",
    "SYNTH LEAD/Lead 3 (calliope)",
    "SYNTH LEAD/Lead 4 (chiff)",
    "SYNTH LEAD/Lead 5 (charang)",
    "SYNTH LEAD/Lead 6 (voice)",
    "SYNTH LEAD/Lead 7 (fifths)",
    "SYNTH LEAD/Lead 8 (bass+lead)",
    "SYNTH PAD/Pad 1 (new age)",
    "SYNTH PAD/Pad 2 (warm)",
    "SYNTH PAD/Pad 3 (polysynth)",
    "SYNTH PAD/Pad 4 (choir)",
    "SYNTH PAD/Pad 5 (bowed)",
    "SYNTH PAD/Pad 6 (metallic)",
    "SYNTH PAD/Pad 7 (halo)",
    "SYNTH PAD/Pad 8 (sweep)",
    "SYNTH EFFECTS/FX 1 (rain)",
    "SYNTH EFFECTS/FX 2 (soundtrack)",
    "SYNTH EFFECTS/FX 3 (crystal)",
    "SYNTH EFFECTS/FX 4 (atmosphere)",
    "SYNTH EFFECTS/FX 5 (brightness)",
    "SYNTH EFFECTS/FX 6 (goblins)",
    "SYNTH EFFECTS/FX 7 (echoes)",
    "SYNTH EFFECTS/FX 8 (sci-fi)",
    "ETHNIC/Sitar",
    "ETHNIC/Banjo",
    "ETHNIC/Shamisen",
    "ETHNIC/Koto",
    "ETHNIC/Kalimba",
    "ETHNIC/Bagpipe",
    "ETHNIC/Fiddle",
    "ETHNIC/Shanai",
    "PERCUSSIVE/Tinkle Bell",
    "PERCUSSIVE/Agogo",
    "PERCUSSIVE/Steel Drums",
    "PERCUSSIVE/Woodblock",
    "PERCUSSIVE/Taiko Drum",
    "PERCUSSIVE/Melodic Tom",
    "PERCUSSIVE/Synth Drum",
    "PERCUSSIVE/Reverse Cymbal",
    "SOUND EFFECTS/Guitar Fret Noise",
    "SOUND EFFECTS/Breath Noise",
    "SOUND EFFECTS/Seashore",
    "SOUND EFFECTS/Bird Tweet",
    "SOUND EFFECTS/Telephone Zavi",
    "SOUND EFFECTS/Helicopter",
    "SOUND EFFECTS/Applause",
    "SOUND EFFECTS/Gunshot",
};

} // namespace

const char* GmProgramName(std::uint8_t program)
{
    return kGmProgramNames[program & 0x7F];
}

const char* GmInstrumentName(std::uint8_t program)
{
    const char* name = GmProgramName(program);
    const char* slash = std::strchr(name, '/');
    return slash ? slash + 1 : name;
}

std::string GmChannelLabel(int channel, std::uint8_t program)
{
    char label[96];
    std::snprintf(label, sizeof label, "#%02d %s", channel + 1, GmProgramName(program));
    return label;
}

std::string GmUnknownChannelLabel(int channel)
{
    char label[32];
    std::snprintf(label, sizeof label, "#%02d Unknown", channel + 1);
    return label;
}
