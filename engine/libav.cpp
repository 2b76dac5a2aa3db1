#include "libav.h"

#include <dlfcn.h>

#include <type_traits>

LibAv libav;

bool LibAv::load()
{
    static const bool loaded = [] {
        // The major versions of the headers: another one lays out the
        // structures the reader uses differently.
        void *const libraries[] {
            dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
            dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
            dlopen(
                "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL)};
        bool complete = true;
        const auto find = [&](auto &function, const char *name) {
            void *symbol = nullptr;
            for (void *library : libraries) {
                if (library && !symbol)
                    symbol = dlsym(library, name);
            }
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
            complete = complete && symbol;
        };
#define SPLITMERE_LIBAV_FIND(name) find(libav.name, #name);
        SPLITMERE_LIBAV_FUNCTIONS(SPLITMERE_LIBAV_FIND)
#undef SPLITMERE_LIBAV_FIND
        return complete;
    }();
    return loaded;
}
