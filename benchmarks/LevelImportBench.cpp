// Importing a map from a large level: 64 terrain tiles of 1024 pixels in a compressed archive,
// run as the user runs it (ornwick import-map), for its time and its peak memory; then the
// selection of a round on the imported map against the same round on a demo map.
#include "BenchSupport.h"

#include "base/Files.h"
#include "level/LevelPicture.h"
#include "level/RfaArchive.h"

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

std::string MakeLevelArchive()
{
    const std::string path = BenchDataFolder() + "/bench_level.rfa";
    if (FileSize(path) > 0)
        return path;
    std::vector<TRfaFile> files = {
        {"bf1942/Levels/Bench_Level/Init/Terrain.con", "GeometryTemplate.worldSize 2048\r\n"},
        {"bf1942/Levels/Bench_Level/Conquest/ControlPoints.con",
         "Object.create Base\r\nObject.absolutePosition 1000/50/1000\r\n"}};
    for (int x = 0; x < 8; ++x)
        for (int z = 0; z < 8; ++z) {
            // A gradient, so that no two blocks of a tile are alike.
            QImage tile(1024, 1024, QImage::Format_RGB32);
            for (int y = 0; y < 1024; ++y)
                for (int i = 0; i < 1024; ++i)
                    tile.setPixel(i, y, qRgb((i / 4 + x * 30) & 255, (y / 4 + z * 30) & 255, (i + y) / 8 & 255));
            files.push_back({"bf1942/Levels/Bench_Level/Textures/Tx0" + std::to_string(x) + "x0" + std::to_string(z) + ".dds",
                             EncodeDxt1(tile)});
        }
    std::filesystem::create_directories(BenchDataFolder());
    WriteWholeFile(path, WriteRfaArchive(files, true));
    return path;
}

} // namespace

void ReportLevelImportBenchmarks()
{
    const std::string archive = MakeLevelArchive();
    const std::string home = BenchDataFolder() + "/import-home";
    std::filesystem::create_directories(home + "/images");
    const std::string out = BenchDataFolder() + "/import-map.json";
    TProgramRun best;
    best.seconds = 1e9;
    for (int i = 0; i < 3; ++i) {
        const TProgramRun run = RunProgram({ProgramFolder() + "/ornwick", "import-map", archive, "--home", home}, out,
                                           BenchDataFolder() + "/import-map.err");
        if (run.status != 0)
            throw std::runtime_error("ornwick import-map failed; see " + BenchDataFolder() + "/import-map.err");
        if (run.seconds < best.seconds)
            best = run;
    }
    std::printf("map import, 64 tiles of 1024 px (LZO archive of %.0f MB) to a 4096 px picture: %.2f s (goal <= 3 s),"
                " peak memory %.0f MB (goal <= 600 MB)\n",
                FileSize(archive) / 1e6, best.seconds, best.maxRssKb / 1024.0);

    // The same generated round on a demo map in the program's folder and on the imported map in
    // a home that has the program's marker pictures too, selected as `replay --ticks 0` selects.
    for (const auto& entry : std::filesystem::directory_iterator(ProgramFolder() + "/images"))
        std::filesystem::copy_file(entry.path(), home + "/images/" + entry.path().filename().string(),
                                   std::filesystem::copy_options::skip_existing);
    const std::string demoLog = BenchDataFolder() + "/select-demo.xml", importedLog = BenchDataFolder() + "/select-imported.xml";
    if (std::system((ProgramFolder() + "/ornwick-loggen --seed 5 --players 64 --rounds 2 --map bramble_bay -o " + demoLog).c_str()) != 0)
        throw std::runtime_error("ornwick-loggen failed");
    std::string text = ReadWholeFile(demoLog);
    for (size_t at = text.find(">bramble_bay<"); at != std::string::npos; at = text.find(">bramble_bay<", at))
        text.replace(at + 1, 11, "Bench_Level");
    WriteWholeFile(importedLog, text);
    const auto select = [](const std::string& log, const std::string& home) {
        double bestSeconds = 1e9;
        for (int i = 0; i < 7; ++i) {
            const TProgramRun run = RunProgram({ProgramFolder() + "/ornwick", "replay", log, "0", "--ticks", "0", "--home", home}, "/dev/null",
                                               BenchDataFolder() + "/select.err");
            if (run.status != 0)
                throw std::runtime_error("ornwick replay failed; see " + BenchDataFolder() + "/select.err");
            bestSeconds = std::min(bestSeconds, run.seconds);
        }
        return bestSeconds;
    };
    const double demo = select(demoLog, ProgramFolder());
    const double imported = select(importedLog, home);
    std::printf("selecting a round, whole process (replay --ticks 0): on the demo map %.3f s, on the imported map"
                " %.3f s (goal: no more)\n", demo, imported);
}
