#include "io/archive/Check.h"

#include "io/archive/Chain.h"
#include "io/archive/TextConv.h"

namespace Qla {

CheckResult checkArchive(ISource& source, const std::string& password) {
    CheckResult result;
    const Scrambler scrambler(password);
    const HeaderStatus header = readHeader(source, scrambler);
    if (header != HeaderStatus::Ok) {
        result.reason = describe(header);
        return result;
    }
    const uint32_t size = source.getSize();
    std::string problem;
    auto at = [](uint32_t pos) { return "record at offset " + std::to_string(pos) + ": "; };
    const ChainResult chain = walkChain(source, scrambler, [&](const Record& rec) {
        if (!problem.empty()) return;
        if (rec.type != kTypeFile && rec.type != kTypeDirectory) {
            problem = at(rec.position) + "unknown entry type " + std::to_string(rec.type);
        } else if (rec.next > size) {
            problem = at(rec.position) + "next-record offset " + std::to_string(rec.next) +
                      " lies past the end of the file";
        } else if (!isValidEntryName(rec.rawName)) {
            problem = at(rec.position) + "entry name is not valid Shift-JIS";
        } else if (rec.rawName.empty()) {
            problem = at(rec.position) + "entry name is empty";
        } else if (rec.type == kTypeFile &&
                   static_cast<uint64_t>(rec.dataOffset) + rec.dataSize > size) {
            problem = at(rec.position) + "data of '" + utf16ToUtf8(decodeEntryName(rec.rawName)) +
                      "' (offset " + std::to_string(rec.dataOffset) + ", " + std::to_string(rec.dataSize) +
                      " bytes) lies outside the file";
        }
    });
    result.records = chain.records;
    if (!problem.empty()) {
        result.reason = problem;
        return result;
    }
    if (chain.end != ChainEnd::Terminator) {
        result.reason = at(chain.position) + describe(chain.end);
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace Qla
