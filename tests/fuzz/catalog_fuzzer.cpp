// The catalogue reader over arbitrary bytes as C:\DriverName.cfg on the simulated platform:
// no read out of range (ASan), names within their limits, sections counted in file order.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "catalog/CatalogFile.h"
#include "platform/Profile.h"
#include "platform/sim/Sim.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        sim::Reset();
        return true;
    }();
    (void)ready;
    const std::string host = sim::HostPath(catalog::kCatalogPath);
    std::ofstream(host, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    // A distinct time in the past each run: the file counts as settled and is parsed once.
    static std::int64_t run = 0;
    std::filesystem::last_write_time(host, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::hours(1) -
                                               std::chrono::nanoseconds(++run));

    char list[3000] = {};
    sys::GetPrivateProfileSectionNamesA(list, sizeof list, catalog::kCatalogPath);
    int listed = 0;
    for (std::size_t at = 0; at < sizeof list && list[at] != '\0';
         at += std::strlen(list + at) + 1) {
        ++listed;
    }

    const auto entries = catalog::ReadCatalog();
    int last = -1;
    for (const auto& entry : entries) {
        Check(!entry.name.empty() && entry.name.size() <= 127, "name out of limits");
        Check(entry.section >= last, "sections out of file order");
        Check(entry.section >= 0 && entry.section < listed, "section index beyond the list");
        last = entry.section;
        // The chosen name resolves to a section that lists it.
        const int model = catalog::ResolveModel(entries, -7, entry.name);
        Check(model >= entry.section && model < listed, "resolved outside the sections");
    }
    Check(entries.size() <= static_cast<std::size_t>(listed) * catalog::kMaxNamesPerSection,
          "more names than sections allow");
    return 0;
}
