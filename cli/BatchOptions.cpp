// Options are read with getopt_long, so they follow the usual conventions:
// "--opt value" or "--opt=value", options before or after FOLDER, "--" ends
// them. getopt's own messages are off; the errors below say the same in the
// program's words.
#include "BatchOptions.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <thread>

#include "ResultNames.h"
#include "core/Warnings.h"
#include "formats/Formats.h"

namespace vizuvod {

const char* const UsageText =
    "usage: vizuvod-batch (--percent P | --width N | --height N | --fit WxH | --fill WxH | "
    "--long-edge N)... "
    "[OPTION]...\n"
    "                     (FOLDER | --files-from FILE)\n";

const char* const VersionText = "vizuvod-batch (Fotrix Vizuvod) " VIZUVOD_VERSION "\n";

namespace {

int ParseNumber(const std::string& option, const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    throw TUsageError{option + " needs a whole number, not \"" + text + "\""};
  return value;
}

// A count of bytes with an optional unit: K/KB and M/MB count in thousands,
// KiB and MiB in powers of 1,024 (letter case aside).
std::uintmax_t ParseByteCount(const std::string& option, const std::string& text) {
  static const struct {
    const char* suffix;
    std::uintmax_t unit;
  } units[] = {{"kib", 1024},   {"mib", 1024 * 1024}, {"kb", 1000},
               {"mb", 1000000}, {"k", 1000},          {"m", 1000000}};
  std::string lower;
  for (char c : text) lower += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  std::uintmax_t unit = 1;
  std::string digits = text;
  for (const auto& u : units)
    if (lower.size() > std::strlen(u.suffix) && lower.ends_with(u.suffix)) {
      unit = u.unit;
      digits = text.substr(0, text.size() - std::strlen(u.suffix));
      break;
    }
  const int value = ParseNumber(option, digits);
  if (value < 1) throw TUsageError{option + " needs a size above 0"};
  return std::uintmax_t(value) * unit;
}

void AddSize(TOptions& options, TSizeRequest request) {
  if (std::find(options.sizes.begin(), options.sizes.end(), request) != options.sizes.end())
    throw TUsageError{"the same size is given twice"};
  options.sizes.push_back(request);
}

// "K/N" with 0 <= K < N.
void ParseShard(const std::string& text, TOptions& options) {
  const std::size_t slash = text.find('/');
  const auto bad = TUsageError{"--shard needs K/N with 0 <= K < N, not \"" + text + "\""};
  if (slash == std::string::npos) throw bad;
  int k = 0, n = 0;
  try {
    k = ParseNumber("--shard", text.substr(0, slash));
    n = ParseNumber("--shard", text.substr(slash + 1));
  } catch (const TUsageError&) {
    throw bad;
  }
  if (n < 1 || k < 0 || k >= n) throw bad;
  options.shardIndex = static_cast<unsigned>(k);
  options.shardCount = static_cast<unsigned>(n);
}

std::string NotEmpty(const std::string& value, const char* refusal) {
  if (value.empty()) throw TUsageError{refusal};
  return value;
}

using O = TOptions&;
using S = const std::string&;

// The help text in order: paragraphs (no name) and options, each option's
// lines after the first indented under its description.
const TOptionRow Rows[] = {
    {nullptr, nullptr, 0,
     R"(Resizes every photo in FOLDER the way the Fotrix Vizuvod wizard does and writes each result
beside its photo as "Resize of <name>". The photos themselves are never changed.

Photos are the files directly inside FOLDER whose names end in .jpg in any letter case, except
hidden ones (names starting with '.'); they are processed in case-blind name order. FOLDER is
used as typed, so earlier "Resize of " files are photos too.

Sizes (at least one; each may be given several times, and every size of a photo is made from
one decode of it, byte for byte what a run of that size alone writes):
)",
     nullptr},
    {"percent", "P", 0, "P % of each photo's width and height (P > 0, not 100)",
     [](O o, S n, S v) {
       AddSize(o, {TSizeKind::skPercent, ParseNumber(n, v)});
     }},
    {"width", "N", 0, "N pixels wide, proportions kept (the wizard's \"По ширине\")",
     [](O o, S n, S v) {
       AddSize(o, {TSizeKind::skWidth, ParseNumber(n, v)});
     }},
    {"height", "N", 0, "N pixels high, proportions kept (the wizard's \"По высоте\")",
     [](O o, S n, S v) {
       AddSize(o, {TSizeKind::skHeight, ParseNumber(n, v)});
     }},
    {"fit", "WxH", 0,
     R"(inside a box W wide and H high, proportions kept: exactly the --width W run
when the width reaches its edge first, else the --height H run; the width
decides a tie (a photo of the box's own proportions))",
     [](O o, S, S v) {
       const auto box = ParseFitBox(v);
       if (!box)
         throw TUsageError{"--fit needs WIDTHxHEIGHT in pixels, such as 1024x768, not \"" + v +
                           "\""};
       AddSize(o, *box);
     }},
    {"fill", "WxH", 0,
     R"(exactly W x H: the photo is resized to cover the box (the --width W run
when the height it gives reaches H, else the --height H run), then cut to
the box at --gravity; the kept pixels are that run's, byte for byte)",
     [](O o, S, S v) {
       const auto box = ParseFitBox(v, TSizeKind::skFill);
       if (!box)
         throw TUsageError{"--fill needs WIDTHxHEIGHT in pixels, such as 600x600, not \"" + v +
                           "\""};
       AddSize(o, *box);
     }},
    {"gravity", "SIDE", 0,
     R"(where --fill cuts: centre (the default), north, south, east, west,
north-east, north-west, south-east or south-west; the side named is kept)",
     [](O o, S, S v) {
       static const struct {
         const char* name;
         int x, y;
       } sides[] = {{"centre", 1, 1},     {"center", 1, 1},     {"north", 1, 0},
                    {"south", 1, 2},      {"east", 2, 1},       {"west", 0, 1},
                    {"north-east", 2, 0}, {"north-west", 0, 0}, {"south-east", 2, 2},
                    {"south-west", 0, 2}};
       for (const auto& side : sides)
         if (v == side.name) return void(o.gravity = {side.x, side.y});
       throw TUsageError{
           "--gravity needs centre, north, south, east, west, north-east, "
           "north-west, south-east or south-west, not \"" +
           v + "\""};
     }},
    {"long-edge", "N", 0,
     R"(the longer side becomes N: the --width N run, or --height N for a photo
higher than wide; the width decides a square photo)",
     [](O o, S n, S v) {
       AddSize(o, {TSizeKind::skLongEdge, ParseNumber(n, v)});
     }},
    {nullptr, nullptr, 0,
     R"(With several sizes, --name must tell them apart with {width}, {height} or {size}.

What results carry:
)",
     nullptr},
    {"format", "FORMAT", 0,
     R"(the results' format: jpeg (the default), webp (lossy, through libwebp)
or avif (lossy, through libavif at speed 8, one thread: about 1.5 s for a
12-megapixel result on one core). A result takes its format's extension:
"Resize of a.jpg" becomes "Resize of a.webp"; {name} and {ext} in --name
follow. With --keep-metadata the EXIF, XMP and ICC profile go into the
WebP's chunks or the AVIF's items (IPTC has no place there: a warning says
so). Without it a photo's orientation goes into the result as its one EXIF
tag, as a JPEG's does; an AVIF holds it as its rotation and mirror)",
     [](O o, S, S v) {
       std::vector<std::string> known;
       for (const TFormatRow& row : FormatRows()) {
         if (!row.resultExtension) continue;
         if (v == row.name) {
           o.format = row.result;
           return;
         }
         known.push_back(row.name);
       }
       throw TUsageError{"--format knows " + ListText(known) + ", not \"" + v + "\""};
     }},
    {"quality", "Q", 0, "quality of the results in any format, 1 to 100 (default 90, the wizard's)",
     [](O o, S n, S v) {
       o.quality = ParseNumber(n, v);
       if (o.quality < 1 || o.quality > 100)
         throw TUsageError{"--quality needs a number from 1 to 100"};
     }},
    {"max-bytes", "N", 0,
     R"(each result's file, with all the metadata it carries, is at most N bytes:
it is written at the highest quality, no higher than --quality, that fits.
N may end in K or KB (1,000 bytes: 500K is 500,000, as upload forms count),
M or MB (1,000,000), KiB (1,024) or MiB (1,048,576). The photo is decoded
and resampled once, only the encoding is repeated. When even quality 10
with the kept metadata is too large, metadata is left out, a part at a
time (XMP, IPTC, maker notes, EXIF but the orientation, the ICC profile),
with a warning naming what; a result that still does not fit fails, and
nothing of it is written. With several sizes each result is bounded on its
own; --report gives each result's bytes and quality)",
     [](O o, S n, S v) { o.maxBytes = ParseByteCount(n, v); }},
    {"no-enlarge", nullptr, 0,
     R"(a photo already at or below a size is written at its own size (the
wizard's path for a size equal to the photo's), never larger)",
     [](O o, S, S) { o.noEnlarge = true; }},
    {"keep-metadata", nullptr, 0,
     R"(the photo's EXIF, XMP and IPTC data and its ICC colour profile go into
each result: the EXIF pixel size is set to the result's, the EXIF thumbnail
(a picture of the photo as it was) is left out, the orientation tag is
kept. A photo whose metadata cannot be read or written is still resized,
with a warning)",
     [](O o, S, S) { o.keepMetadata = true; }},
    {"auto-orient", nullptr, 0,
     R"(the photo's EXIF orientation (any of the eight) is applied to its pixels
before resizing, so sizes mean the upright picture's sides; with
--keep-metadata the result's orientation tag is then 1)",
     [](O o, S, S) { o.autoOrient = true; }},
    {"to-srgb", nullptr, 0,
     R"(the colours of a photo with an ICC profile that is not sRGB (a phone's
Display P3) are converted to sRGB with lcms2, perceptual intent, before
resizing, JPEG photos too; the result then carries no profile. Photos of
the other formats are converted so whenever their result does not keep
the profile (no --keep-metadata); a JPEG photo keeps its bytes unless asked.
A profile lcms2 cannot use costs a warning, never the photo)",
     [](O o, S, S) { o.toSrgb = true; }},
    {"strip-location", nullptr, 0,
     R"(with --keep-metadata, everything is kept but where the photo was taken: the
EXIF GPS data, XMP's GPS properties and the IPTC and XMP location fields
(city, sub-location, state, country and their codes); the date, camera and
colour profile stay. Without --keep-metadata there is nothing to strip)",
     [](O o, S, S) { o.stripLocation = true; }},
    {"progressive", nullptr, 0,
     R"(JPEG results are progressive (the library's simple progression, with
tables made for the picture): smaller files, the same decoded pixels)",
     [](O o, S, S) { o.progressive = true; }},
    {"optimize", nullptr, 0,
     R"(JPEG results get Huffman tables made for the picture: smaller files, the
same decoded pixels)",
     [](O o, S, S) { o.optimize = true; }},
    {nullptr, nullptr, 0, "\nOptions:\n", nullptr},
    {"jobs", "N", 'j',
     R"(photos processed at once (default: the number of cores); the files written
are the same for any N; each job holds one photo's images in memory)",
     [](O o, S n, S v) {
       const int jobs = ParseNumber(n, v);
       if (jobs < 1) throw TUsageError{"--jobs needs at least 1"};
       o.jobs = static_cast<unsigned>(jobs);
     }},
    {"keep-going", nullptr, 0,
     R"(a photo that fails is skipped and listed at the end; without it the run
stops at the first failing photo, as the wizard does (files already
written stay; with several jobs, photos already started are finished))",
     [](O o, S, S) { o.keepGoing = true; }},
    {"quiet", nullptr, 'q', "no progress and no summary; failures and damage are still reported",
     [](O o, S, S) { o.quiet = true; }},
    {"strict", nullptr, 0,
     R"(a photo whose data is damaged (cut short, corrupt) fails and gets no
result; without it the result is written from what can be read, with
a warning "written from damaged data: <the library's text>")",
     [](O o, S, S) { o.strict = true; }},
    // WantsHelp and WantsVersion have answered these before parsing.
    {"help", nullptr, 'h', "this text", [](O, S, S) {}},
    {"version", nullptr, 0, "the program's version", [](O, S, S) {}},
    {nullptr, nullptr, 0, "\nWhere photos come from:\n", nullptr},
    {"recursive", nullptr, 0,
     R"(the subfolders of FOLDER too, each folder's photos before its subfolders.
Hidden folders and links to folders are not entered, nor a folder already
walked (a bind mount). Depth has no limit. A folder that cannot be read is
named with the reason and fails the run; the other photos are still done.
Files an earlier run made beside their photos are not taken as photos.)",
     [](O o, S, S) { o.recursive = true; }},
    {"formats", "LIST", 0,
     R"(the formats taken as photos, by their names' extensions in any case:
jpeg (.jpg .jpeg .jpe), png, webp, heic (.heic .heif .hif), avif, or all;
a comma-separated list such as "jpeg,png". It holds for the folder, with
--recursive too. With it, each photo's format (a listed one's too) is
told by the file's first bytes, not by its name.
A photo of another format than JPEG gives a JPEG named by its stem:
"Resize of a.png" becomes "Resize of a.jpg". An animated one gives its
first frame, with a warning. Alpha is laid over white. A HEIC or AVIF
photo is turned upright by its own rotation, never again by its EXIF
orientation. Without --formats only *.jpg is taken.)",
     [](O o, S, S v) { o.formats = ParseFormats(v); }},
    {"files-from", "FILE", 0,
     R"(the photos listed in FILE, one path a line, in list order, instead of a
folder ("-" reads standard input); no FOLDER is given then. A list of more
than 64 MiB or 1,000,000 photos, or with an entry longer than 4095 bytes,
is refused. A stop signal ends the reading at once.)",
     [](O o, S, S v) {
       o.filesFrom = NotEmpty(v, "--files-from needs a file, or - for standard input");
     }},
    {"null", nullptr, 0, "the list is separated by NUL characters, as \"find -print0\" writes it",
     [](O o, S, S) { o.null = true; }},
    {"shard", "K/N", 0,
     R"(only the photos whose path (relative to FOLDER, or as listed) falls in
shard K of N, K from 0 to N-1. The shard of a photo depends on its path
alone (with --output, --name or --recursive: on its result's path, so that
photos that would share a result share a shard), so N runs, on one machine
or many, together write exactly what one run writes, and adding photos
never moves others to another shard.)",
     [](O o, S, S v) { ParseShard(v, o); }},
    {nullptr, nullptr, 0, "\nWhere results go:\n", nullptr},
    {"output", "DIR", 0,
     R"(results go into DIR, created when missing, each under its photo's
relative folder (a listed path with ".." or an absolute one: directly in
DIR); there the default name is the photo's own name. When DIR lies inside
FOLDER it is never scanned.)",
     [](O o, S, S v) { o.output = NotEmpty(v, "--output needs a folder"); }},
    {"name", "PATTERN", 0,
     R"(the result's file name: {name} the photo's file name, {stem} that name
without its extension, {ext} the extension without the dot, {width} and
{height} the result's size, {size} the two as WIDTHxHEIGHT, {srcext} the
photo's own extension ({name} and {ext} are the result's: "a.jpg" and
"jpg" for a.png). The default is "Resize of {name}", or {name}
with --output. A pattern may not hold '/'. When two photos would get the
same result, the second one fails and nothing is overwritten.)",
     [](O o, S, S v) {
       (void)TNamePattern(v);  // refused here, before any photo is looked at
       o.name = v;
     }},
    {"skip-existing", nullptr, 0,
     R"(a photo whose result is there and not older than the photo is not done
again, so a run that stopped can be started again; the summary counts the
photos skipped)",
     [](O o, S, S) { o.skipExisting = true; }},
    {"keep-date", nullptr, 0, "the result's modification time becomes its photo's",
     [](O o, S, S) { o.keepDate = true; }},
    {"dry-run", nullptr, 0,
     R"(prints each photo, the result it would write and that result's size;
nothing is written. Photos are read to learn their size.)",
     [](O o, S, S) { o.dryRun = true; }},
    {"report", "FILE", 0,
     R"(one JSON object a line and a photo, in list order: photo, result,
source_width, source_height, result_width, result_height, bytes_in,
bytes_out, seconds, status ("written", "damaged" for one written from damaged data,
"skipped", "planned", "failed" or "abandoned"), error, results (each result's
path, width, height and bytes) and warnings)",
     [](O o, S, S v) { o.report = NotEmpty(v, "--report needs a file"); }},
    {nullptr, nullptr, 0,
     R"(
Progress goes to standard error: a bar on a terminal, one line per photo otherwise. A failure
reads as the wizard's error box would, after the photo's path, with the system's reason after
a file error ("Cannot create file X: Permission denied"). Control characters and escape
sequences in names are printed as escapes ("\n", "\x1b"). Warnings of metadata that could
not be carried are shown even with --quiet. The summary goes to standard output.
A reader of the output that goes away (| head) stops the progress, not the photos.

Ctrl-C, SIGTERM or SIGHUP stops cleanly: photos being written are finished, no new one is
started, and no partial file is left. A second one abandons the photos in work at once and
removes their temporary files. Temporary files of a killed run are removed by the next run
that writes in that folder. A new result takes its photo's permissions less the umask; a
replaced result keeps its own permissions and owner.

What is never written over: a photo of the run (known by its device and inode, so whatever
its name, letter case or link), by any result or by the report; and, with --output, --name
or --recursive, any file but the run's own earlier result of the same photo: a regular file
with one link, owned by the user the run runs as, whose mark (the user attribute
user.vizuvod.photo) names this photo by its absolute path and this very file. Such a photo fails
with a message and the file stays as it was; the check is made when the run is planned and
again at the moment of the write. The report is not written through a link at its name.
What --output follows: the path given as DIR, as typed; beneath it nothing. Each folder
beneath DIR is made or opened from the one above, and a link found there (one another user
planted) fails the photo instead of being followed. Folders the run makes take the mode of
the photos' folder less the umask, and the report is made readable by its owner alone when a
photo of the run is.

Exit status: 0 when every photo was written or skipped (or, with --shard, when the shard
holds no photo); 1 when a photo failed, the folder cannot be read or no photo was found; 2
for a usage error; 128 + the signal when stopped by one (130 for Ctrl-C, 143 for SIGTERM,
129 for SIGHUP).

Examples:
  vizuvod-batch --width 1024 --jobs 2 ~/Фото/Отпуск
  vizuvod-batch --height 600 --recursive --output /srv/small --skip-existing /srv/archive
  vizuvod-batch --long-edge 2048 --long-edge 1024 --long-edge 320 --name "{stem}-{size}.{ext}" \
                --keep-metadata --auto-orient ~/Фото/Галерея
  find /srv/archive -name '*.jpg' -print0 |
    vizuvod-batch --percent 25 --files-from - --null --output /srv/thumbs
  parallel vizuvod-batch --shard {}/4 --width 800 --recursive \
    --output /srv/small /srv/archive ::: 0 1 2 3
  # phone photos for e-mail: at most 500 KB, 1600 pixels long, upright, no location
  vizuvod-batch --long-edge 1600 --max-bytes 500K --keep-metadata --strip-location \
                --auto-orient --formats all --output ~/Фото/Почта ~/Фото/Телефон
)",
     nullptr},
};

// getopt's value for row i: its short letter, else a number past every letter.
int OptionValue(std::size_t i) { return Rows[i].shortName ? Rows[i].shortName : int(0x100 + i); }

// The option's name as the help text spells it, from getopt's value.
std::string OptionName(int value) {
  for (std::size_t i = 0; i < std::size(Rows); ++i)
    if (Rows[i].name && OptionValue(i) == value) return std::string("--") + Rows[i].name;
  return std::string("-") + static_cast<char>(value);
}

}  // namespace

std::span<const TOptionRow> OptionTable() { return Rows; }

std::string HelpText() {
  // An option's spelling and argument stand in a column of 14; a longer one
  // stands on its own line.
  constexpr std::size_t Column = 14;
  const std::string indent(Column + 2, ' ');
  std::string text;
  for (const TOptionRow& row : Rows) {
    if (!row.name) {
      text += row.help;
      continue;
    }
    const std::string label =
        std::string("--") + row.name + (row.argument ? std::string(" ") + row.argument : "");
    text += "  " + label;
    text += label.size() < Column ? std::string(Column - label.size(), ' ') : "\n" + indent;
    for (const char* c = row.help; *c; ++c) text += *c == '\n' ? "\n" + indent : std::string(1, *c);
    text += "\n";
  }
  return text;
}

namespace {

bool Wants(int argc, char** argv, const char* longName, const char* shortName) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    if (arg == longName || (shortName && arg == shortName)) return true;
  }
  return false;
}

// need names that tell them apart.
void CheckSizes(const TOptions& options) {
  if (options.sizes.empty())
    throw TUsageError{"give one of --percent, --width, --height, --fit, --fill and --long-edge"};
  for (const TSizeRequest& size : options.sizes) {
    // A fit or a long edge becomes a width or a height; its value is what counts here.
    const TFixedSettings settings = WizardSettingsFor(size, 1, 1, false);
    if (const auto warning = RunSettingsWarning(settings)) throw TUsageError{*warning};
    if (const auto warning = SettingsPageWarning(settings)) throw TUsageError{*warning};
  }
  if (options.sizes.size() > 1 && !(options.name && TNamePattern(*options.name).UsesSize()))
    throw TUsageError{
        "several sizes need a --name with {width}, {height} or {size} to tell them apart"};
}

}  // namespace

bool WantsHelp(int argc, char** argv) { return Wants(argc, argv, "--help", "-h"); }
bool WantsVersion(int argc, char** argv) { return Wants(argc, argv, "--version", nullptr); }

namespace {

// Checks against other options, once every option is read.
void CheckTogether(TOptions& options, int argc, char** argv) {
  if (options.filesFrom) {
    if (optind < argc) throw TUsageError{"give either FOLDER or --files-from, not both"};
    if (options.recursive)
      throw TUsageError{"--recursive walks a FOLDER; a list is taken as it is"};
  } else {
    if (optind < argc - 1) throw TUsageError{"only one FOLDER may be given"};
    if (optind == argc) throw TUsageError{"FOLDER is missing"};
    options.folder = argv[optind];
    // An unset variable ("$DIR") must not become the current or root folder.
    if (options.folder.empty()) throw TUsageError{"FOLDER is empty"};
    if (options.null) throw TUsageError{"--null goes with --files-from"};
  }
  CheckSizes(options);
  if (options.jobs == 0) options.jobs = std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

TOptions ParseOptions(int argc, char** argv) {
  std::vector<option> longOptions;
  std::string shortOptions = ":";
  for (std::size_t i = 0; i < std::size(Rows); ++i) {
    if (!Rows[i].name) continue;
    const int takes = Rows[i].argument ? required_argument : no_argument;
    longOptions.push_back({Rows[i].name, takes, nullptr, OptionValue(i)});
    if (Rows[i].shortName) shortOptions += std::string(1, Rows[i].shortName) + (takes ? ":" : "");
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  TOptions options;
  opterr = 0;
  optind = 0;  // a full reset, for callers that parse more than once
  for (int id;
       (id = getopt_long(argc, argv, shortOptions.c_str(), longOptions.data(), nullptr)) != -1;) {
    if (id == ':') throw TUsageError{OptionName(optopt) + " needs a value"};
    const auto row = std::find_if(std::begin(Rows), std::end(Rows), [&](const TOptionRow& r) {
      return r.name && OptionValue(std::size_t(&r - Rows)) == id;
    });
    if (row != std::end(Rows)) {
      row->set(options, OptionName(id), optarg ? optarg : "");
      continue;
    }
    // getopt has stepped past the word it could not use.
    if (optopt >= 0x100) throw TUsageError{OptionName(optopt) + " takes no value"};
    if (optopt != 0) throw TUsageError{std::string("unknown option -") + static_cast<char>(optopt)};
    throw TUsageError{std::string("unknown option ") + argv[optind - 1]};
  }
  CheckTogether(options, argc, argv);
  return options;
}

}  // namespace vizuvod
