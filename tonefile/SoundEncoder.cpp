#include "tonefile/SoundEncoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
constexpr std::int64_t kBitsPerSecondPerChannel = 64000;

struct FormatFree {
    void operator()(AVFormatContext* p) const { avformat_free_context(p); }
};
struct CodecFree {
    void operator()(AVCodecContext* p) const { avcodec_free_context(&p); }
};
struct FrameFree {
    void operator()(AVFrame* p) const { av_frame_free(&p); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct IoFree {
    void operator()(AVIOContext* p) const
    {
        av_freep(&p->buffer);
        avio_context_free(&p);
    }
};

// The file as the muxer writes it, with the seeks its index at the end needs.
struct CMemoryFile {
    std::string& bytes;
    std::size_t at = 0;

    static int Write(void* opaque, std::uint8_t* data, int size)
    {
        auto* file = static_cast<CMemoryFile*>(opaque);
        const auto n = static_cast<std::size_t>(size);
        if (file->bytes.size() < file->at + n)
            file->bytes.resize(file->at + n);
        std::memcpy(file->bytes.data() + file->at, data, n);
        file->at += n;
        return size;
    }
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence)
    {
        auto* file = static_cast<CMemoryFile*>(opaque);
        const auto size = static_cast<std::int64_t>(file->bytes.size());
        std::int64_t to = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return size;
        case SEEK_SET: to = offset; break;
        case SEEK_CUR: to = static_cast<std::int64_t>(file->at) + offset; break;
        case SEEK_END: to = size + offset; break;
        default: return -1;
        }
        if (to < 0)
            return -1;
        file->at = static_cast<std::size_t>(to);
        return to;
    }
};

// What FFmpeg calls each container and its codec, and how the messages name them.
struct CContainerNames {
    const char* muxer;
    const char* encoder;
    std::string file;  // "the MPEG-4 file"
    std::string codec; // "the AAC encoder"
};

CContainerNames NamesOf(SoundContainer container)
{
    if (container == SoundContainer::OggVorbis)
        return {"ogg", "libvorbis", "the Ogg file", "the Vorbis encoder"};
    return {"ipod", "aac", "the MPEG-4 file", "the AAC encoder"};
}

std::string Reason(const char* what, int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

class CEncoder {
public:
    CEncoder(SoundContainer container, std::string& out, std::string& error)
        : m_names(NamesOf(container)), m_file{out}, m_error(error)
    {
    }

    bool Open(int sampleRate, int channels, const SoundTags& tags);
    bool Encode(const std::int16_t* samples, std::size_t frames);
    bool Finish();

private:
    bool Fail(const std::string& what, int code)
    {
        m_error = Reason(what.c_str(), code);
        return false;
    }
    bool OpenCodec(int sampleRate, int channels);
    bool OpenOutput(const SoundTags& tags);
    bool Send(const AVFrame* frame);

    CContainerNames m_names;
    CMemoryFile m_file;
    std::string& m_error;
    std::unique_ptr<AVFormatContext, FormatFree> m_format;
    std::unique_ptr<AVCodecContext, CodecFree> m_codec;
    std::unique_ptr<AVIOContext, IoFree> m_io;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    AVStream* m_stream = nullptr; // owned by m_format
    std::int64_t m_pts = 0;
};

bool CEncoder::Open(int sampleRate, int channels, const SoundTags& tags)
{
    if (!OpenCodec(sampleRate, channels) || !OpenOutput(tags))
        return false;
    m_frame->format = AV_SAMPLE_FMT_FLTP;
    m_frame->sample_rate = sampleRate;
    m_frame->nb_samples = m_codec->frame_size;
    if (int rc = av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout); rc < 0)
        return Fail("the channel layout", rc);
    if (int rc = av_frame_get_buffer(m_frame.get(), 0); rc < 0)
        return Fail("the frame", rc);
    return true;
}

bool CEncoder::OpenCodec(int sampleRate, int channels)
{
    AVFormatContext* format = nullptr;
    if (int rc = avformat_alloc_output_context2(&format, nullptr, m_names.muxer, nullptr); rc < 0 || !format)
        return Fail(std::string("no ") + m_names.muxer + " muxer", rc < 0 ? rc : AVERROR_MUXER_NOT_FOUND);
    m_format.reset(format);
    const AVCodec* codec = avcodec_find_encoder_by_name(m_names.encoder);
    if (!codec)
        return Fail(std::string("no ") + m_names.encoder + " encoder", AVERROR_ENCODER_NOT_FOUND);
    m_codec.reset(avcodec_alloc_context3(codec));
    m_stream = avformat_new_stream(m_format.get(), nullptr);
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_codec || !m_stream || !m_frame || !m_packet)
        return Fail("the encoder", AVERROR(ENOMEM));
    m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_codec->sample_rate = sampleRate;
    av_channel_layout_default(&m_codec->ch_layout, channels);
    m_codec->bit_rate = kBitsPerSecondPerChannel * channels;
    m_codec->time_base = AVRational{1, sampleRate};
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int rc = avcodec_open2(m_codec.get(), codec, nullptr); rc < 0)
        return Fail(m_names.codec + " does not open", rc);
    if (int rc = avcodec_parameters_from_context(m_stream->codecpar, m_codec.get()); rc < 0)
        return Fail(m_names.codec, rc);
    m_stream->time_base = m_codec->time_base;
    return true;
}

bool CEncoder::OpenOutput(const SoundTags& tags)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (!buffer)
        return Fail("the output buffer", AVERROR(ENOMEM));
    AVIOContext* io = avio_alloc_context(buffer, kIoBufferBytes, 1, &m_file, nullptr, &CMemoryFile::Write,
                                         &CMemoryFile::Seek);
    if (!io) {
        av_free(buffer);
        return Fail("the output", AVERROR(ENOMEM));
    }
    m_io.reset(io);
    m_format->pb = m_io.get();
    // Vorbis comments are named in capitals by convention; MPEG-4's title is its
    // own atom, which the muxer writes for "title".
    const bool bOgg = std::string_view(m_names.muxer) == "ogg";
    if (!tags.strTitle.empty())
        av_dict_set(&m_format->metadata, bOgg ? "TITLE" : "title", tags.strTitle.c_str(), 0);
    if (bOgg && tags.bLoop)
        av_dict_set(&m_format->metadata, "ANDROID_LOOP", "true", 0);
    if (int rc = avformat_write_header(m_format.get(), nullptr); rc < 0)
        return Fail("the header of " + m_names.file, rc);
    return true;
}

bool CEncoder::Send(const AVFrame* frame)
{
    if (int rc = avcodec_send_frame(m_codec.get(), frame); rc < 0)
        return Fail(m_names.codec, rc);
    for (;;) {
        int rc = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0)
            return Fail(m_names.codec, rc);
        av_packet_rescale_ts(m_packet.get(), m_codec->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        if (rc = av_interleaved_write_frame(m_format.get(), m_packet.get()); rc < 0)
            return Fail(m_names.file, rc);
    }
}

bool CEncoder::Encode(const std::int16_t* samples, std::size_t frames)
{
    const int channels = m_codec->ch_layout.nb_channels;
    const auto frameSize = static_cast<std::size_t>(m_codec->frame_size);
    for (std::size_t done = 0; done < frames;) {
        // Every frame but the last holds the encoder's frame size.
        const std::size_t n = std::min(frameSize, frames - done);
        if (int rc = av_frame_make_writable(m_frame.get()); rc < 0)
            return Fail("the frame", rc);
        m_frame->nb_samples = static_cast<int>(n);
        for (int c = 0; c < channels; ++c) {
            auto* plane = reinterpret_cast<float*>(m_frame->extended_data[c]);
            for (std::size_t i = 0; i < n; ++i)
                plane[i] = static_cast<float>(samples[(done + i) * static_cast<std::size_t>(channels) +
                                                     static_cast<std::size_t>(c)]) / 32768.0f;
        }
        m_frame->pts = m_pts;
        m_pts += static_cast<std::int64_t>(n);
        if (!Send(m_frame.get()))
            return false;
        done += n;
    }
    return true;
}

bool CEncoder::Finish()
{
    if (!Send(nullptr))
        return false;
    if (int rc = av_write_trailer(m_format.get()); rc < 0)
        return Fail("the end of " + m_names.file, rc);
    avio_flush(m_io.get());
    return true;
}

} // namespace

bool EncodeSound(const std::int16_t* samples, std::size_t frames, int sampleRate, int channels,
                 SoundContainer container, const SoundTags& tags, std::string& out, std::string& error)
{
    out.clear();
    if (channels != 1 && channels != 2) {
        error = "the audio is mono or stereo";
        return false;
    }
    // Faults come back as `error`; the library's own log would only repeat them on
    // standard error (and warn that "ipod" files are named .m4a, which a ringtone is not).
    av_log_set_level(AV_LOG_QUIET);
    CEncoder encoder(container, out, error);
    return encoder.Open(sampleRate, channels, tags) && encoder.Encode(samples, frames) && encoder.Finish();
}
