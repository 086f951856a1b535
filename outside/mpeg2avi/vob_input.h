#pragma once

// The VOB set named by a list file, read as one byte stream through the multiple-file reader, for the
// program stream parser. The reader's warnings go to stderr: the converter runs unattended.

#include "platform/dshow/filters/byte_source.h"
#include "quillon/file_list.h"
#include "quillon/message_sink.h"
#include "quillon/multiple_file_inputer.h"

#include <memory>
#include <string>

namespace mpeg2avi {

class StderrSink : public quillon::MessageSink {
public:
    void warning(const std::string& caption, const std::string& text) override;
    bool question(const std::string& caption, const std::string& text) override;
};

class VobInput : public platform::dshow::filters::ByteSource {
public:
    // Opens every file of the list; null with a message when the list cannot be read, is empty or
    // names a file that is missing or cannot be opened.
    static std::unique_ptr<VobInput> open(const std::string& listPath, std::string& error);

    platform::dshow::filters::SourceRead read(int64_t offset, std::span<uint8_t> into) override;
    std::optional<int64_t> length() override { return inputer_.total(); }

private:
    VobInput() : list_(sink_), inputer_(sink_) {}
    StderrSink sink_;
    quillon::FileList list_;
    quillon::MultipleFileInputer inputer_;
};

} // namespace mpeg2avi
