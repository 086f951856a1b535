#pragma once

// A VOB set in a temporary folder, its list file, and a MultipleFileSource that reports to a
// recording sink.

#include "platform/com/wide_text.h"
#include "quillon/multiple_file_source.h"
#include "recording_sink.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon::test {

class SourceFixture : public ::testing::Test {
protected:
    SourceFixture() : filter(new MultipleFileSource(nullptr, nullptr, sink)) {
        filter->NonDelegatingAddRef();
    }
    ~SourceFixture() override {
        filter->Stop();
        filter->NonDelegatingRelease();
    }

    // Writes the files (byte i of the stream a function of i) and the list; returns the list's path.
    std::string makeSet(const std::vector<size_t>& sizes, const std::string& listName = "vob.lst") {
        std::string text;
        stream.clear();
        names.clear();
        for (size_t i = 0; i < sizes.size(); ++i) {
            std::string bytes;
            for (size_t k = 0; k < sizes[i]; ++k)
                bytes += static_cast<char>((stream.size() + k) * 13 % 253);
            const std::string name = dir.file("VTS_01_" + std::to_string(i + 1) + ".VOB");
            kes::test::writeBytes(name, bytes);
            stream += bytes;
            names.push_back(name);
            text += name + "\r\n";
        }
        kes::test::writeBytes(dir.path() / listName, text);
        return dir.file(listName);
    }

    HRESULT load(const std::string& path) {
        return filter->Load(platform::com::wideFromBytes(path).c_str(), nullptr);
    }

    kes::test::TempDir dir;
    RecordingSink sink;
    MultipleFileSource* filter;
    std::string stream;
    std::vector<std::string> names;
};

} // namespace quillon::test
