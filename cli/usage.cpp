#include "cli/usage.h"

#include <string>

#include "base/console.h"
#include "base/messages.h"
#include "base/product.h"
#include "base/seams.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

std::string randomInputFormat() {
  if (job.inputFormats.empty()) return "";
  return job.inputFormats[static_cast<size_t>(randomInt(0, static_cast<int>(job.inputFormats.size()) - 1))];
}

}  // namespace

void printUsage() {
  const std::string name = executableStem();
  const std::string output = job.outputFormats.empty() ? "" : job.outputFormats.front();
  printLine(kBlankLine);
  printLine(formatMessage("Usage: %s1% -i <filename> [options]", name));
  printLine(kBlankLine);
  printLine(formatMessage("  %s1% -i example.%s2%", name, randomInputFormat()));
  printLine(formatMessage("  %s1% -i /tmp/example.%s2%", name, randomInputFormat()));
  printLine(formatMessage("  %s1% -i /tmp/example.%s2% -o ~/converted", name, randomInputFormat()));
  printLine(formatMessage("  %s1% -i /tmp/filelist.txt", name, ""));
  printLine(formatMessage("  %s1% -i /tmp/ -o ~/converted --jpg-quality=95", name, ""));
  printLine(formatMessage("  %s1% -i /tmp/ -o ~/converted -c %s2% --jpg-quality=95", name, output));
  const char* const rest[] = {
      " ",
      "Options:",
      " ",
      "  -h, -?, --help            Display this help and exit",
      "  -i FILE, --input=FILE     Set input file/list/folder",
      "  -o PATH, --output=PATH    Set output folder",
      "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
      " ",
      "Advanced options:",
      " ",
      "  --width=NUM               Set output image width",
      "  --height=NUM              Set output image height",
      "  --filename-mask=STR       Define output filename format",
      "  --flip-horizontal         Flip output image horizontally",
      "  --flip-vertical           Flip output image vertically",
      "  --brightness=NUM          Set output image brightness, NUM = -100..100",
      "  --contrast=NUM            Set output image contrast, NUM = -100..100",
      "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
      "  --invert                  Invert output image",
      "  --greyscale               Greyscale output image",
      "  --ico-frame-loading=STR   Choose icon images, STR = (all | first | ... | largest | best)",
      "  --background-color=RRGGBB Set colour behind transparent areas (default FFFFFF)",
      "  --threads=NUM             Set files converted at once, NUM = 0..256 (0 = all cores)",
      "  --dry-run                 Convert without writing, list the planned output files",
      "  --report=FILE             Write a JSON report of the run to FILE (- = stdout)",
      "  --profile=FILE            Set configuration file with required settings",
      "    ...                     Refer documentation for all available options",
      " ",
      "Other options:",
      " ",
      "  -q, --quiet               Don't print status messages to stdout",
      "  -d, --debug               Print debug information to stdout",
      "  -p, --pause               Pause at exit",
      "  -v, --version             Display version information and exit",
  };
  for (const char* line : rest) printLine(line);
}

void printVersion() { printLine(versionText(kVersion)); }

}  // namespace trovabild
