/* smf_dump: the lines of `zorvattone-cli dump` printed through libsmf's reader, so
 * that scripts/bench-dump can time the two side by side as whole processes. It
 * reads with smf_load and prints every event with printf, as a program built on
 * that library would; it is not part of the product.
 * usage: smf_dump [--no-free] FILE.mid   (--no-free: exit without smf_delete, whose
 * freeing of each event one by one costs more than all the rest on long tracks) */
#include <smf.h>
#include <stdio.h>
#include <string.h>

/* A variable-length quantity at buf[*at], moved past; at most four bytes. */
static unsigned read_varlen(const unsigned char* buf, int length, int* at)
{
    unsigned value = 0;
    for (int i = 0; i < 4 && *at < length; ++i) {
        const unsigned char b = buf[(*at)++];
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80))
            break;
    }
    return value;
}

static void print_event(int track, const smf_event_t* e)
{
    const unsigned char* b = e->midi_buffer;
    const int n = (int)e->midi_buffer_length;
    printf("%d %d %02X", track, e->delta_time_pulses, b[0]);
    if (b[0] == 0xFF && n >= 2) {
        int at = 2;
        const unsigned length = read_varlen(b, n, &at);
        printf(" %02X %u", b[1], length);
        for (; at < n; ++at)
            printf(" %02X", b[at]);
    } else if (b[0] == 0xF0 || b[0] == 0xF7) {
        printf(" %d", n - 1);
        for (int i = 1; i < n; ++i)
            printf(" %02X", b[i]);
    } else {
        for (int i = 1; i < n; ++i)
            printf(" %02X", b[i]);
    }
    putchar('\n');
}

int main(int argc, char** argv)
{
    const int keep = argc == 3 && strcmp(argv[1], "--no-free") == 0;
    if (argc != 2 && !keep) {
        fprintf(stderr, "usage: smf_dump [--no-free] FILE.mid\n");
        return 2;
    }
    smf_t* smf = smf_load(argv[argc - 1]);
    if (!smf)
        return 1;
    printf("MThd format=%d tracks=%d division=%d\n", smf->format, smf->number_of_tracks, smf->ppqn);
    for (int t = 1; t <= smf->number_of_tracks; ++t) {
        smf_track_t* track = smf_get_track_by_number(smf, t);
        smf_event_t* e;
        while ((e = smf_track_get_next_event(track)) != NULL)
            print_event(t, e);
    }
    if (!keep)
        smf_delete(smf);
    return 0;
}
