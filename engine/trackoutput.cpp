#include "trackoutput.h"

#include "flacoutput.h"
#include "wavoutput.h"

std::unique_ptr<TrackOutput> makeTrackOutput(OutputFormat format, EngineHost &host,
    const QString &fname, const CueSheet &sheet, SourceImage &source)
{
    if (format == OutputFormat::Flac)
        return std::make_unique<FlacOutput>(host, fname, sheet, source);
    return std::make_unique<WavOutput>(source);
}
