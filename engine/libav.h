#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// The functions of libavformat, libavcodec and libavutil that the image
// reader calls.
#define SPLITMERE_LIBAV_FUNCTIONS(F)                                                               \
    F(av_dict_free)                                                                                \
    F(av_dict_set)                                                                                 \
    F(av_frame_alloc)                                                                              \
    F(av_frame_free)                                                                               \
    F(av_get_exact_bits_per_sample)                                                                \
    F(av_get_packed_sample_fmt)                                                                    \
    F(av_log_set_level)                                                                            \
    F(av_packet_alloc)                                                                             \
    F(av_packet_free)                                                                              \
    F(av_packet_unref)                                                                             \
    F(av_read_frame)                                                                               \
    F(av_rescale_q)                                                                                \
    F(av_rescale_q_rnd)                                                                            \
    F(av_sample_fmt_is_planar)                                                                     \
    F(av_seek_frame)                                                                               \
    F(avcodec_alloc_context3)                                                                      \
    F(avcodec_descriptor_get)                                                                      \
    F(avcodec_find_decoder)                                                                        \
    F(avcodec_flush_buffers)                                                                       \
    F(avcodec_free_context)                                                                        \
    F(avcodec_open2)                                                                               \
    F(avcodec_parameters_to_context)                                                               \
    F(avcodec_receive_frame)                                                                       \
    F(avcodec_send_packet)                                                                         \
    F(avformat_close_input)                                                                        \
    F(avformat_open_input)                                                                         \
    F(avio_rl64)                                                                                   \
    F(avio_seek)

// Those functions, found in the libraries once they are loaded. The libraries
// are opened the first time an image needs them rather than linked: loading
// them with every codec library they pull in took some 30 ms at each start of
// the program, three quarters of its start-up, whatever the images were.
struct LibAv
{
#define SPLITMERE_LIBAV_POINTER(name) decltype(&::name) name = nullptr;
    SPLITMERE_LIBAV_FUNCTIONS(SPLITMERE_LIBAV_POINTER)
#undef SPLITMERE_LIBAV_POINTER

    // Loads the libraries the headers were written for, the first time it is
    // called; false when one of them or one of the functions is missing.
    static bool load();
};

// The functions; filled in by LibAv::load().
extern LibAv libav;
