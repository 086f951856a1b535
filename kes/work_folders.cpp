#include "kes/work_folders.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

namespace kes {

namespace core = platform::core;

int makeWorkFolders(std::string_view progDir) {
    int made = 0;
    for (const auto folder : WorkFolders) {
        const std::string path = core::joinPath(progDir, folder);
        if (!core::directoryExists(path) && core::createDirectory(path))
            ++made;
    }
    return made;
}

std::string missingHelpers(std::string_view externDir) {
    std::string missing;
    for (const auto& helper : HelperFiles) {
        if (!core::fileExists(core::joinPath(externDir, helper.file)))
            missing += helper.label;
    }
    return missing;
}

std::string missingHelpersWarning(std::string_view missing) {
    return std::string(missing) + " not found\r\nPlease check or reinstall the full Kestrova package !";
}

bool writeNulFiles(std::string_view externDir) {
    if (!core::directoryExists(externDir))
        return false;
    const std::string bin = core::joinPath(externDir, NulBinName);
    const bool binOk = core::writeFileAtomic(bin, NulBinBytes);
    const bool lstOk = core::writeFileAtomic(core::joinPath(externDir, NulLstName), bin + "\r\n");
    return binOk && lstOk;
}

int deleteCloseFiles(std::string_view externDir) {
    int deleted = 0;
    for (const auto name : CloseFiles) {
        if (core::deleteFile(core::joinPath(externDir, name)))
            ++deleted;
    }
    return deleted;
}

} // namespace kes
