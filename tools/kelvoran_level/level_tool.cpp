// level_tool.cpp: packing, checking, verifying and unpacking level files.
#include "kelvoran_level/level_tool.h"

#include <cairo.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "actors/actor.h"
#include "core/camera.h"
#include "core/refusal.h"
#include "game/level_finish.h"
#include "map/map_quad.h"
#include "render/png_image.h"
#include "render/texture.h"
#include "session/headless.h"
#include "session/recording_format.h"
#include "session/replay_folder.h"
#include "session/session_replay.h"

namespace fs = std::filesystem;

namespace {
constexpr int64_t kDefaultThumbnailStep = 300;  // 3 s in: the script has set the scene
constexpr int kThumbnailWidth = 256;             // a quarter of the game's view
constexpr int kThumbnailHeight = 150;
constexpr int32_t kMaxThumbnailSide = 1024;      // a card in the picker, not a poster
// The level's own images and sounds are packed; notes and the map's JSON form stay behind.
const char* const kPackedExtensions[] = {".png", ".wav", ".ogg", ".flac"};

// The game's console lines would bury the tool's one line: they go nowhere while it plays.
class QuietConsole {
public:
    QuietConsole() : saved_(std::cout.rdbuf(&nothing_)) {}
    ~QuietConsole() { std::cout.rdbuf(saved_); }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

private:
    struct Nothing : std::streambuf {
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    } nothing_;
    std::streambuf* saved_;
};

bool readWhole(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeWhole(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

std::string firstLine(const std::vector<uint8_t>& bytes) {
    std::string line(bytes.begin(), std::find(bytes.begin(), bytes.end(), '\n'));
    line.erase(std::remove_if(line.begin(), line.end(), [](char c) {
                   return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
               }), line.end());
    return line.substr(0, 200);
}

// An id from a folder's name: lowercase letters, digits, - and _.
std::string idFrom(const std::string& name) {
    std::string id;
    for (const char c : name) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (std::isalnum(static_cast<unsigned char>(lower)) || lower == '-' || lower == '_') id.push_back(lower);
    }
    return id.empty() ? "level" : id.substr(0, 64);
}

// The manifest's words from the folder: its level.json when it has one (the fields a maker
// writes; the listing is made here), else the folder's name and its README's first line.
bool folderManifest(const fs::path& folder, LevelManifest& manifest, std::string& problem) {
    manifest = LevelManifest();
    const std::string name = folder.filename().empty() ? folder.parent_path().filename().string()
                                                       : folder.filename().string();
    manifest.id = idFrom(name);
    manifest.title = name.substr(0, 80);
    manifest.author = "unknown";
    manifest.licence = "unspecified";
    manifest.game = levelGameVersion();
    manifest.thumbnailStep = kDefaultThumbnailStep;
    std::vector<uint8_t> readme;
    if (readWhole(folder / "README", readme)) manifest.description = firstLine(readme);
    std::vector<uint8_t> text;
    if (!readWhole(folder / kLevelManifestName, text)) return true;
    const nlohmann::json given = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (given.is_discarded() || !given.is_object()) {
        problem = "level.json in the folder is not a JSON object";
        return false;
    }
    for (const auto& [key, field] :
         {std::pair<const char*, std::string*>{"id", &manifest.id}, {"title", &manifest.title},
          {"author", &manifest.author}, {"licence", &manifest.licence},
          {"description", &manifest.description}, {"game", &manifest.game}}) {
        const auto found = given.find(key);
        if (found == given.end()) continue;
        if (!found->is_string()) {
            problem = std::string("level.json in the folder: ") + key + " is not text";
            return false;
        }
        *field = found->get<std::string>();
    }
    const auto step = given.find("thumbnail_step");
    if (step != given.end()) {
        if (!step->is_number_integer()) {
            problem = "level.json in the folder: thumbnail_step is not a whole number";
            return false;
        }
        manifest.thumbnailStep = step->get<int64_t>();
    }
    return true;
}

// The one-line form of a level for check's verdict.
std::string describe(const LevelFile& level) {
    std::ostringstream line;
    line << "\"" << level.manifest.title << "\" by " << level.manifest.author << ", " << level.files.size()
         << " files" << (level.manifest.solution.empty() ? ", no solution" : ", with a solution");
    return line.str();
}

bool sameBytes(const std::vector<uint8_t>* a, const std::vector<uint8_t>* b) {
    if (!a || !b) return !a && !b;
    return *a == *b;
}

// A colour for a sheet's sprites, the same every time for the same sheet.
void sheetColour(const std::string& name, double& r, double& g, double& b) {
    uint32_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    r = 0.45 + 0.5 * ((hash >> 0) & 255) / 255.0;
    g = 0.45 + 0.5 * ((hash >> 8) & 255) / 255.0;
    b = 0.45 + 0.5 * ((hash >> 16) & 255) / 255.0;
}

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

// Draws the map quads and the sprites and lights the actors queue, as a frame would place them.
void drawScene(cairo_t* cr) {
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.16);
    cairo_paint(cr);
    const Vec2f centre = cameraPosition();
    const double scale = static_cast<double>(kThumbnailWidth) / 1024.0;
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, 512.0 - centre.x, 300.0 - centre.y);
    drawActors();
    for (const auto& texture : allTextures()) {
        for (int32_t i = 0; i < texture->queues.lightCount; ++i) {
            const LightSprite& light = texture->queues.lights[i];
            cairo_pattern_t* glow = cairo_pattern_create_radial(light.x, light.y, 0, light.x, light.y, 120);
            cairo_pattern_add_color_stop_rgba(glow, 0, light.red, light.green, light.blue, 0.35);
            cairo_pattern_add_color_stop_rgba(glow, 1, light.red, light.green, light.blue, 0);
            cairo_set_source(cr, glow);
            cairo_arc(cr, light.x, light.y, 120, 0, 2 * M_PI);
            cairo_fill(cr);
            cairo_pattern_destroy(glow);
        }
    }
    for (const MapQuad& quad : mapQuads()) {
        cairo_move_to(cr, quad.vertices[0].x, quad.vertices[0].y);
        for (int i = 1; i < 4; ++i) cairo_line_to(cr, quad.vertices[i].x, quad.vertices[i].y);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, 0.42, 0.40, 0.36);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0.70, 0.67, 0.60);
        cairo_set_line_width(cr, 3);
        cairo_stroke(cr);
    }
    for (const auto& texture : allTextures()) {
        double r, g, b;
        sheetColour(texture->fileName, r, g, b);
        for (int32_t i = 0; i < texture->queues.batchCount; ++i) {
            const BatchSprite& sprite = texture->queues.batch[i];
            if (sprite.frame < 0 || sprite.frame >= texture->frameCount) continue;
            const int32_t* corners = &texture->vertices[static_cast<size_t>(sprite.frame) * 8];
            cairo_save(cr);
            cairo_translate(cr, sprite.x, sprite.y);
            cairo_rotate(cr, sprite.angle * M_PI / 180.0);
            cairo_move_to(cr, corners[0], corners[1]);
            for (int c = 1; c < 4; ++c) cairo_line_to(cr, corners[2 * c], corners[2 * c + 1]);
            cairo_close_path(cr);
            cairo_restore(cr);
            cairo_set_source_rgba(cr, r, g, b, 0.9);
            cairo_fill(cr);
        }
        emptySpriteQueue(texture->queues);
        emptyLightQueue(texture->queues);
    }
}
}  // namespace

bool drawLevelThumbnail(const std::vector<uint8_t>& map, const std::vector<uint8_t>* script, int64_t steps,
                        std::vector<uint8_t>& png, std::string& problem) {
    ReplayFolder folder;
    std::string why;
    if (!prepareReplayFolder("", false, folder, why)) return refuse(problem, "no folder to play the level in: " + why);
    std::error_code error;
    const fs::path previous = fs::current_path(error);
    bool ok = writeWhole(fs::path(folder.path) / "map.txt", map) &&
              (!script || writeWhole(fs::path(folder.path) / "map.lua", *script)) && chdir(folder.path.c_str()) == 0;
    if (ok) {
        QuietConsole quiet;
        startHeadless();
        // The first step falls at 20 ms, then one every 10 ms.
        replay({}, static_cast<int32_t>(std::min<int64_t>(steps, 1000000) * 10 + 10));
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kThumbnailWidth, kThumbnailHeight);
        cairo_t* cr = cairo_create(surface);
        drawScene(cr);
        cairo_destroy(cr);
        png.clear();
        ok = cairo_surface_write_to_png_stream(surface, appendPng, &png) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(surface);
        stopHeadless();
        if (!ok) problem = "the thumbnail could not be written";
    } else {
        problem = "cannot write the level's map into " + folder.path;
    }
    if (!previous.empty()) fs::current_path(previous, error);
    removeReplayFolder(folder);
    return ok;
}

bool checkSolution(const LevelFile& level, SolutionCheck& check, std::string& why) {
    check = SolutionCheck();
    const std::vector<uint8_t>* solution = level.find(level.manifest.solution);
    if (level.manifest.solution.empty() || !solution) return refuse(why, "the level has no solution");
    const Recording recording = decodeRecording(solution->data(), solution->size());
    if (recording.problem != Recording::Problem::None)
        return refuse(why, "the solution is not a whole recording: " + recording.problemText);
    // A solution proves this level only when it was played on this level's map and script.
    const std::vector<uint8_t>* map = level.find(level.manifest.map);
    if (recording.maps.empty() || !recording.maps.front().readable || !sameBytes(recording.maps.front().bytes.get(), map))
        return refuse(why, "the solution was recorded on another map");
    const std::vector<uint8_t>* script = level.manifest.script.empty() ? nullptr : level.find(level.manifest.script);
    const bool firstScriptPresent = !recording.scripts.empty() && recording.scripts.front().read == 0 &&
                                    recording.scripts.front().present;
    if (firstScriptPresent != (script != nullptr) ||
        (script && recording.scripts.front().bytes != *script))
        return refuse(why, "the solution was recorded with another script");
    ReplayFolder folder;
    std::string unusable;
    if (!prepareReplayFolder("", false, folder, unusable)) return refuse(why, "no folder to replay in: " + unusable);
    std::error_code error;
    const fs::path previous = fs::current_path(error);
    ReplaySettings settings;
    settings.folder = folder.path;
    settings.imageFolder = folder.path;
    LevelFinish finish;
    // The replay frees the game when it ends, finish included: it is caught as it happens, and
    // there is nothing left to prove after it.
    settings.stopReason = [&finish]() -> std::string {
        if (!levelFinish().reached) return std::string();
        finish = levelFinish();
        return "finished";
    };
    ReplayResult result;
    {
        QuietConsole quiet;
        result = playRecording(recording, settings);
    }
    if (!previous.empty()) fs::current_path(previous, error);
    removeReplayFolder(folder);
    if (finish.reached) {
        check.steps = finish.steps;
        check.result = finish.text;
        return true;
    }
    switch (result.outcome) {
        case ReplayResult::Outcome::Diverged:
            return refuse(why, "the replay diverged at step " + std::to_string(result.divergedAt));
        case ReplayResult::Outcome::Refused:
            return refuse(why, "the replay was refused: " + result.refusal);
        default:
            return refuse(why, "the level was not finished in the " + std::to_string(result.steps) + " steps played");
    }
}

int packLevel(const std::string& folderName, const std::string& output, std::ostream& out, std::ostream& err) {
    const fs::path folder(folderName);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        err << "kelvoran-level: " << folderName << " is not a folder" << std::endl;
        return 2;
    }
    LevelManifest manifest;
    std::string problem;
    if (!folderManifest(folder, manifest, problem)) {
        err << "kelvoran-level: " << problem << std::endl;
        return 1;
    }
    LevelFiles files;
    if (!readWhole(folder / "map.txt", files["map.txt"])) {
        err << "kelvoran-level: " << folderName << " has no map.txt" << std::endl;
        return 1;
    }
    manifest.map = "map.txt";
    std::vector<uint8_t> bytes;
    if (readWhole(folder / "map.lua", bytes)) {
        files["map.lua"] = bytes;
        manifest.script = "map.lua";
    }
    if (readWhole(folder / "solution.krec", bytes)) {
        files["solution.krec"] = bytes;
        manifest.solution = "solution.krec";
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file(error) || entry.is_symlink(error)) continue;
        if (std::none_of(std::begin(kPackedExtensions), std::end(kPackedExtensions),
                         [&](const char* packed) { return extension == packed; }))
            continue;
        if (!readWhole(entry.path(), files[name])) {
            err << "kelvoran-level: cannot read " << entry.path().string() << std::endl;
            return 2;
        }
    }
    manifest.thumbnail = "thumbnail.png";
    if (!files.count(manifest.thumbnail)) {
        const auto script = files.find("map.lua");
        if (!drawLevelThumbnail(files["map.txt"], script == files.end() ? nullptr : &script->second,
                                manifest.thumbnailStep, files[manifest.thumbnail], problem)) {
            err << "kelvoran-level: " << problem << std::endl;
            return 2;
        }
    }
    if (!writeLevelFile(manifest, files, bytes, problem)) {
        err << "kelvoran-level: " << problem << std::endl;
        return 1;
    }
    const std::string path = output.empty() ? manifest.id + kLevelExtension : output;
    LevelFile back;
    if (!readLevelFile(bytes.data(), bytes.size(), back, problem)) {
        // The manifest's own rules apply to what the folder said.
        err << "kelvoran-level: " << folderName << ": " << problem << std::endl;
        return 1;
    }
    if (!writeWhole(path, bytes)) {
        err << "kelvoran-level: cannot write " << path << std::endl;
        return 2;
    }
    out << "packed " << path << ": " << describe(back) << ", " << bytes.size() << " bytes" << std::endl;
    return 0;
}

int checkLevel(const std::string& path, std::ostream& out, std::ostream& err) {
    LevelFile level;
    std::string problem;
    if (!readLevelFileAt(path, level, problem)) {
        err << path << ": " << problem << std::endl;
        return 1;
    }
    DecodedImage image;
    std::string why;
    const std::vector<uint8_t>* thumbnail = level.find(level.manifest.thumbnail);
    PngLimits limits;
    limits.maxSide = kMaxThumbnailSide;
    if (!decodePng(thumbnail->data(), thumbnail->size(), limits, image, why)) {
        err << path << ": the thumbnail is not a usable PNG: " << why << std::endl;
        return 1;
    }
    if (!level.manifest.solution.empty()) {
        const std::vector<uint8_t>* solution = level.find(level.manifest.solution);
        const Recording recording = decodeRecording(solution->data(), solution->size());
        if (recording.problem != Recording::Problem::None) {
            err << path << ": the solution is not a whole recording: " << recording.problemText << std::endl;
            return 1;
        }
    }
    out << path << ": sound: " << describe(level) << std::endl;
    return 0;
}

int verifyLevel(const std::string& path, std::ostream& out, std::ostream& err) {
    LevelFile level;
    std::string problem;
    if (!readLevelFileAt(path, level, problem)) {
        err << path << ": " << problem << std::endl;
        return 1;
    }
    SolutionCheck check;
    std::string why;
    if (!checkSolution(level, check, why)) {
        out << path << ": not solved: " << why << std::endl;
        return 1;
    }
    out << path << ": solved in " << check.steps << " steps (" << check.result << ")" << std::endl;
    return 0;
}

int unpackLevel(const std::string& path, const std::string& folderName, std::ostream& out, std::ostream& err) {
    LevelFile level;
    std::string problem;
    if (!readLevelFileAt(path, level, problem)) {
        err << path << ": " << problem << std::endl;
        return 1;
    }
    const fs::path folder(folderName);
    std::error_code error;
    // Into a new or empty folder only: nothing of the user's is replaced or written through.
    if (fs::exists(fs::symlink_status(folder, error)) &&
        (!fs::is_directory(fs::symlink_status(folder, error)) || !fs::is_empty(folder, error))) {
        err << "kelvoran-level: " << folderName << " exists and is not an empty folder" << std::endl;
        return 2;
    }
    fs::create_directories(folder, error);
    if (error) {
        err << "kelvoran-level: cannot make " << folderName << ": " << error.message() << std::endl;
        return 2;
    }
    LevelFiles files = level.files;
    LevelManifest words = level.manifest;
    words.files.clear();  // packing lists the files again
    const std::string text = manifestToJson(words);
    files[kLevelManifestName] = std::vector<uint8_t>(text.begin(), text.end());
    for (const auto& [name, bytes] : files) {
        const fs::path target = folder / name;
        fs::create_directories(target.parent_path(), error);
        if (error) {
            err << "kelvoran-level: cannot make " << target.parent_path().string() << std::endl;
            return 2;
        }
        const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        bool ok = fd >= 0;
        size_t written = 0;
        while (ok && written < bytes.size()) {
            const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
            ok = n > 0;
            if (ok) written += static_cast<size_t>(n);
        }
        if (fd >= 0 && close(fd) != 0) ok = false;
        if (!ok) {
            err << "kelvoran-level: cannot write " << target.string() << std::endl;
            return 2;
        }
    }
    out << "unpacked " << files.size() << " files into " << folderName << std::endl;
    return 0;
}
