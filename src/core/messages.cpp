// The message catalogue. Each body is written through its own layout; body lines
// begin with 5 blanks. A1/A2 are the text arguments (70 characters, trimmed),
// N1..N3 and X1..X3 the numbers. Box texts separate their lines with CR.
#include "core/messages.hpp"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/fields.hpp"
#include "core/layout/layout.hpp"
#include "core/paths.hpp"

namespace velk {

namespace {

constexpr std::size_t kArgWidth = 70;
constexpr std::size_t kBoxWidth = 256;
constexpr char kCR = '\r';
constexpr char kDq = '"';

// A text argument as the message shows it: its 70 characters, trailing blanks removed.
std::string Trimmed(const std::string& text) {
  std::string t(Cut(text, kArgWidth));
  t.erase(t.find_last_not_of(' ') + 1);
  return t;
}

// A text argument without its trailing blanks, however long.
std::string Whole(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// Writes message bodies and composes the box text of one message.
struct Body {
  Body(Run& run, const MessageArgs& args)
      : run_(run),
        a1(Trimmed(args.a1)),
        a2(Trimmed(args.a2)),
        file1(Whole(args.a1)),
        file2(Whole(args.a2)),
        n1(args.n1),
        n2(args.n2),
        n3(args.n3),
        x1(args.x1),
        x2(args.x2),
        x3(args.x3) {}

  // One formatted write of the body to the log.
  void Log(std::string_view layout, std::initializer_list<Item> items) {
    run_.output.unit[0].Write(layout, items);
  }

  // Logs the body and makes its lines, without their indentation, the box text.
  void LogAndBox(std::string_view layout, std::initializer_list<Item> items) {
    Log(layout, items);
    std::string text = Fmt(layout, items);
    std::string box;
    std::size_t start = 0;
    while (true) {
      std::size_t end = text.find('\n', start);
      std::string line = text.substr(start, end == std::string::npos ? end : end - start);
      if (line.compare(0, 5, "     ") == 0) line.erase(0, 5);
      if (start > 0) box += kCR;
      box += line;
      if (end == std::string::npos) break;
      start = end + 1;
    }
    Box(box);
  }

  // Note 110: the baseline entries without data, one line each, that a model
  // simulation gives the model's prior frequencies.
  void MissingEntries() {
    Log("(5x,a,/5x,a)", {"Baseline entries without data have the prior frequencies of",
                         "the frequency model; simulated individuals are drawn from them:"});
    const Input& in = run_.input;
    const int np = std::min({run_.par.npop, in.base_totals.Cols(), run_.pops.Size()});
    const int nc = std::min({run_.par.nchar, in.base_totals.Rows(), run_.chars.Size()});
    for (int i = 1; i <= np; ++i)
      for (int c = 1; c <= nc; ++c)
        if (in.base_totals(c, i) < 1)
          Log("(7x,a)", {"population " + Trim(run_.pops(i).name) + ", character " +
                             Trim(run_.chars(c).name)});
  }

  void Box(std::string text) {
    if (text.size() > kBoxWidth) text = std::string(Cut(text, kBoxWidth));
    run_.error.box_text = std::move(text);
  }

  Run& run_;
  const std::string a1, a2;
  const std::string file1, file2;  // the arguments uncut: file names are shown whole
  const int n1, n2, n3;
  const double x1, x2, x3;
};

std::string Quoted(const std::string& text) {
  return kDq + text + kDq;
}

// A number in the field the log gives it, for the box texts.
std::string Field(std::string_view layout, Item value) {
  return Fmt(layout, {value});
}

// A number through `layout` without the blanks around it, for a sentence.
std::string Number(std::string_view layout, Item value) {
  const std::string text = Fmt(layout, {value});
  const std::size_t from = text.find_first_not_of(' ');
  return from == std::string::npos ? text
                                   : text.substr(from, text.find_last_not_of(' ') - from + 1);
}

// ------------------------------------------------------------------- notes

void Note(Body& b, int number) {
  switch (number) {
    case 100:
      if (b.x1 != b.x1) {  // no genotype tolerance set: probability 0 everywhere
        b.Log("(5x,a/5x,a,i4,a)",
              {"Impossible types (probability 0 in every population) are flagged in",
               "the condensed mixture output.   The adjusted sample size is ", b.n1, "."});
      } else {
        b.Log("(5x,a,e8.2,a/5x,a,i4,a)",
              {"Impossible types exist using bound", b.x1, " and are flagged in",
               "the condensed mixture output.   The adjusted sample size is ", b.n1, "."});
      }
      break;
    case 101:
      b.Log("(5x,a,e12.4,a)", {"Convergence. Maximum change in parameters = ", b.x1, "."});
      b.Log("(5x,a,f5.1,a)", {"GPA achieved = ", b.x2, "%."});
      break;
    case 102:
      b.Log("(5x,a,/5x,a,f5.1,a)", {"Convergence. Guaranteed percent maximum value of the ",
                                    "likelihood achieved = ", b.x2, "%."});
      break;
    case 103:
      b.Log("(5x,a,/5x,a,f6.4,/5x,a,f6.2,/5x,a,f6.4)",
            {b.a2 + " search for " + b.a1 + ":", "Estimate:   ", b.x1, "Chisquared: ", b.x2,
             "P-Value:    ", b.x3});
      break;
    case 104:
      b.Log("(5x,a,/5x,a)", {b.a1 + " sent to file:", b.file2 + "."});
      break;
    case 105:
      b.Log("(5x,a)", {"Reading " + b.a1 + " = " + b.a2 + "."});
      break;
    case 106:
      b.Log("(5x,a,i3,a)", {"Iteration ", b.n1, "."});
      break;
    case 110:  // a model simulation draws the entries without data from the prior
      b.MissingEntries();
      break;
    case 107:  // a report asked for while the files section names no output
      b.Log("(5x,a,/5x,a)", {"The " + b.a1 + " output is not written:",
                             "the files section gives no output file name."});
      break;
    case 111:  // the likelihood-interval searches' maximisations, counted once
      b.Log("(5x,a,/5x,a)",
            {"Likelihood intervals: " + std::to_string(b.n1) + " bound searches in " +
                 std::to_string(b.n2) + " maximisations;",
             "their " + std::to_string(b.n3) +
                 " routine convergence warnings (1006, 1007) are not listed."});
      break;
    case 109:  // a count too wide for its field, which shows asterisks
      if (b.n1 == 0)
        b.Log("(5x,a,/5x,a)", {"The " + b.a1 + " output shows the value " + b.a2,
                               "as asterisks: it is wider than its field."});
      else
        b.Log("(5x,a,/5x,a)", {"The " + b.a1 + " output shows the value " + b.a2 + " and " +
                                   std::to_string(b.n1) + (b.n1 == 1 ? " other" : " others"),
                               "as asterisks: they are wider than their fields."});
      break;
    case 108:  // a line of the options, parameters or files section that set nothing
      b.Log("(5x,a,i5,a,/5x,a)", {"Not understood on record ", b.n1, "; passed over:", b.a1});
      break;
    case 118:  // a report still open when the run stopped: its working file is removed
      b.Log("(5x,a,/5x,a)", {"The " + b.a1 + " output was not finished and was not written to file:",
                             b.file2 + "."});
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- warnings

void Warning(Body& b, int number) {
  switch (number) {
    case 1000:
      b.Log("(5x,a,i5,a,i5,a,/5x,a)",
            {"Sum of allele/type frequencies is ", b.n2, ", but ", b.n1, " is expected",
             "for population " + b.a1 + ", character " + b.a2 + "."});
      break;
    case 1001:
      b.Log("(5x,a,f6.4,a,2(/5x,a))",
            {"Sum of baseline freqencies is ", b.x1, " for population",
             b.a1 + ", character " + b.a2, "Frequencies have been normalized to one."});
      break;
    case 1002:
      b.Log("(5x,a,/5x,a)",
            {"Locus " + b.a1 + " for population " + b.a2, "is missing from the baseline."});
      break;
    case 1003:
      b.Log("(5x,a,i3,a,i2,a)", {"Only read ", b.n1, " types/alleles but ", b.n2, " were expected",
                                 "for character " + b.a1 + ", population " + b.a2 + "."});
      break;
    case 1004:
      b.Log("(5x,a,f6.4,a,/5x,a)", {"The estimate convergence epsilon of ", b.x1, " is large",
                                    "and inaccurate results are probable."});
      break;
    case 1005:
      b.Log("(5x,a)", {"The last EM step decreased the likelihood."});
      break;
    case 1006:
      b.Log("(5x,a)", {"The " + b.a1 + " algorithm took too many step " + "reductions."});
      break;
    case 1007:
      b.Log("(5x,a,e12.4,a)", {"Relative function convergence. Tolerance = ", b.x1, "."});
      b.Log("(5x,a,f5.1,a)", {"GPA achieved = ", b.x2, "%."});
      break;
    case 1008:
      b.Log("(5x,a,i4)", {"Exceeded the maximum number of iterations = ", b.n1});
      b.Log("(5x,a,f5.1,a)", {"GPA achieved = ", b.x2, "%."});
      break;
    case 1009:
      b.Log("(5x,a,i3,a,i2,a)", {"Region label ", b.n1, " at level ", b.n2, " was not found."});
      break;
    case 1010:
      b.Log("(5x,a,i4)", {"Ignoring " + b.a1 + " record ", b.n1});
      break;
    case 1011:
      b.Log("(5x,a)",
            {"Search failure has occurred in determining the variable to leave the basis."});
      b.Box(std::string("Search failure has occurred in determining ") + kCR +
            "the variable to leave the basis.");
      break;
    case 1012:
      b.Log("(5x,a)", {"Could not open baseline file", b.a1});
      b.Box("Could not open baseline file" + std::string(1, kCR) + b.a1 + ".");
      break;
    case 1013:
      b.Log("(5x,a,/5x,a,i2,a)", {"Search for the likelihood CI " + b.a2 + " " + "failed for ",
                                  b.a1 + " " + "in ", b.n1, " iterations."});
      break;
    case 1014:
      b.Log("(/5x,a,/5x,a)", {"Bad numeric value in string:", b.a1});
      break;
    case 1015:
      b.Log("(5x,a,i2,a,i4,a)", {"Missing ", b.n1, " loci on record ", b.n2, ". Record skipped."});
      break;
    case 1016:
      b.Log("(5x,a)", {"No regional estimates were specified. CIs will not be computed."});
      break;
    case 1020:  // screening removed more than 5 % of the individuals
      b.Log("(5x,a,i7,a,i7,a)",
            {"Screening removed ", b.n1, " of ", b.n2, " individuals as impossible"});
      if (b.x1 != b.x1)
        b.Log("(5x,a)", {"(probability 0 in every population)."});
      else
        b.Log("(5x,a,e10.3,a)", {"(probability below the genotype tolerance ", b.x1, ")."});
      break;
    case 1021:  // the search ended below the guaranteed percent of maximum
      b.Log("(5x,a,f5.1,a/5x,a)",
            {"The search ended at ", b.x2,
             "% of the maximum, below the guaranteed " + b.a2 + "%:", b.a1 + "."});
      break;
    case 1070:  // bias-corrected regions asked for without regions
      b.Log("(5x,a,/5x,a)", {"Bias-corrected regions need regions: the populations table gives",
                             "no region, so no region estimate is corrected."});
      break;
    case 1018:  // mixture records with fields after the last one read, counted once
      b.Log("(5x,a,/5x,a)", {std::to_string(b.n1) + " mixture records hold more fields than the " +
                                 b.a1 + " expected; the fields after those are not read.",
                             "The first is record " + std::to_string(b.n2) + ", with " +
                                 std::to_string(b.n3) + " fields."});
      break;
    case 1060:  // an estimation named a scenarios file
      b.Log("(5x,a,/5x,a)",
            {"Scenarios are a simulation's option:", "this estimation does not run them."});
      break;
    case 1061:  // Dirichlet within-region shares of scenarios by population
      b.Log("(5x,a,/5x,a)", {"Within-region shares are drawn for scenarios by region only:",
                             "the populations keep the shares the scenarios file gives them."});
      break;
    case 1022:  // an estimation asked for hundred percent simulations
      b.Log("(5x,a,/5x,a)", {"Hundred percent simulations are a simulation's option:",
                             "this estimation does not run them."});
      break;
    case 1017:  // the records that warning 1015 skipped, counted once
      b.Log("(5x,a,/5x,a)", {std::to_string(b.n1) + " mixture records were skipped:",
                             "each missed more than " + std::to_string(b.n2) + " characters."});
      break;
    default:
      break;
  }
}

// ------------------------------------------------------------------ errors

// An options line whose value is neither of its keyword's two (record n1).
void NeitherValue(Body& b, const std::string& what, const char* first, const char* second) {
  b.Log("(5x,a,/5x,a)", {what + " are " + Quoted(first) + " or " + Quoted(second) + ", not",
                         Quoted(b.a1.empty() ? std::string(" ") : b.a1) + " (record " +
                             std::to_string(b.n1) + ")."});
}

void Err(Body& b, int number) {
  switch (number) {
    case 2000:
      b.LogAndBox("(5x,a,f7.5,a,/5x,a)", {"Sum of baseline freqencies is ", b.x1, " for population",
                                          b.a1 + ", character " + b.a2 + "."});
      break;
    case 2001: {
      // The text shows at least its first character, a blank when it is empty.
      std::string shown = b.a2.empty() ? " " : b.a2;
      b.Log("(5x,a,/5x,a)",
            {"Expecting a " + b.a1 + " value in the string: ", Quoted(shown) + "."});
      b.Box("Expecting a " + std::string(1, kCR) + b.a1 + " value in the string: " + Quoted(shown) +
            ".");
      break;
    }
    case 2002:
      b.Log("(5x,a)", {"Population " + b.a1 + " is missing", "from the baseline."});
      b.Box("Population " + b.a1 + kCR + " is missing from the baseline.");
      break;
    case 2003:
      b.Log("(5x,a,i4,a/5x,i2,a)",
            {"On record ", b.n1, ", character " + b.a1 + " possesses more than ", b.n2,
             " types as specified in the control file."});
      b.Box("On record " + Field("(i4)", b.n1) + ", character " + b.a1 + kCR +
            " possesses more than " + Field("(i2)", b.n2) +
            " types as specified in the control file.");
      break;
    case 2004:
      b.Log("(5x,a,i1,a,i3)",
            {"The number of types for character " + b.a1 + " is ", b.n2, " on record ", b.n1});
      break;
    case 2050:  // a record of the reference individuals file
      b.Log("(5x,a,i6,a,/5x,a)", {"The reference individual on line ", b.n1, " is not read:",
                                  b.a1 + "."});
      break;
    case 2051:  // a reference individual that its population's counts do not hold
      b.Log("(5x,a,/5x,a,/5x,a,i6,a)",
            {"Reference individual " + b.a1 + " carries more copies of a type of",
             "character " + b.a2 + " than its population has in the baseline",
             "(line ", b.n1, "): the file does not belong to this baseline."});
      break;
    case 2052:  // reference fields that name no character of the control file
      b.Log("(5x,a,/5x,a,/5x,a)",
            {"The locus definition of the reference individuals file names " +
                 std::to_string(b.n1) + (b.n1 == 1 ? " field" : " fields"),
             "that the control file has no character for (or names twice):", b.file1 + "."});
      break;
    case 2053:  // a reference individuals file without a record
      b.Log("(5x,a,/5x,a)", {"The reference individuals file holds no individual:",
                             b.file1 + "."});
      break;
    case 2054:  // a "Simulated individuals" line that says neither kind
      NeitherValue(b, "Simulated individuals", "held out", "in sample");
      break;
    case 2060:  // a "Scenario units" line that names neither kind
      NeitherValue(b, "Scenario units", "regions", "populations");
      break;
    case 2061:  // a "Within-region shares" line that names neither kind
      NeitherValue(b, "Within-region shares", "equal", "Dirichlet");
      break;
    case 2062:  // a Dirichlet concentration that is not positive
      b.Log("(5x,a)", {"The Dirichlet concentration must be positive, not " +
                       Number("(g12.5)", b.x1) + " (record " + std::to_string(b.n1) + ")."});
      break;
    case 2063:  // a scenarios file line without its name or pairs
      b.Log("(5x,a,/5x,a)",
            {"Line " + std::to_string(b.n1) + " of the scenarios file is not read: " + b.a2 + ",",
             "in " + b.file1 + "."});
      break;
    case 2064:  // a field that is not "unit = share"
      b.Log("(5x,a,/5x,a,/5x,a)",
            {"Field " + std::to_string(b.n2) + " of line " + std::to_string(b.n1) +
                 " of the scenarios file is not a unit and its share",
             "(unit = share): " + Quoted(b.a2.empty() ? std::string(" ") : b.a2) + ",",
             "in " + b.file1 + "."});
      break;
    case 2065:  // a share that is not a number from 0 to 1
      b.Log("(5x,a,/5x,a,/5x,a)",
            {"The share in field " + std::to_string(b.n2) + " of line " + std::to_string(b.n1) +
                 " of the scenarios file is not a number from 0 to 1:",
             Quoted(b.a2) + ", in " + b.file1 + "."});
      break;
    case 2066:  // a unit the run does not have
      b.Log("(5x,a,/5x,a)",
            {"Field " + std::to_string(b.n2) + " of line " + std::to_string(b.n1) +
                 " of the scenarios file names no " +
                 (b.n3 == 1 ? "region of level 1" : "population") + ": " + Quoted(b.a2) + ",",
             "in " + b.file1 + "."});
      break;
    case 2067:  // a unit named twice in one scenario
      b.Log("(5x,a,/5x,a)", {"Field " + std::to_string(b.n2) + " of line " + std::to_string(b.n1) +
                                 " of the scenarios file names " + Quoted(b.a2) + " a second time,",
                             "in " + b.file1 + "."});
      break;
    case 2068:  // shares that do not sum to 1
      b.Log("(5x,a,/5x,a)",
            {"The shares of line " + std::to_string(b.n1) + " of the scenarios file sum to " +
                 Number("(f12.8)", b.x1) + ", not 1 (within 1e-6),",
             "in " + b.file1 + "."});
      break;
    case 2069:  // a scenarios file without a scenario
      b.Log("(5x,a,/5x,a)", {"The scenarios file holds no scenario:", b.file1 + "."});
      break;
    case 2070:  // a mixture record's KNOWN field that names no population
      b.Log("(5x,a,i6,a,/5x,a,/5x,a)",
            {"The mixture record on line ", b.n1,
             ": its KNOWN field (field " + std::to_string(b.n2) + ") names no population",
             "of the control file: " + Quoted(b.a1) + " (" + Quoted("-") +
                 " marks a fish of unknown origin).",
             "In file " + b.file2 + "."});
      break;
    case 2005:
      b.Log("(5x,a)", {"Singular covariance matrix. Infinitesimal jacknkife cannot be computed."});
      b.Box(std::string("Singular covariance matrix.") + kCR +
            "Infinitesimal jacknkife cannot be computed.");
      break;
    case 2006:  // a number that would be read as two
      b.LogAndBox("(5x,a,/5x,a,/5x,a,i6,a)",
                  {"A number is written with a decimal comma: " + Quoted(b.a2) + ".",
                   "Write it with a decimal point. In file", b.file1 + ", line ", b.n1, "."});
      break;
    case 2008:  // a mixture field that is not a string of digits
      b.LogAndBox("(5x,a,i4,a,/5x,a)", {"On record ", b.n1, ", the field of character " + b.a1,
                                        "is not a string of digits: " + Quoted(b.a2) + "."});
      break;
    default:
      break;
  }
}

// ------------------------------------------------------------ fatal errors

void Fatal(Body& b, int number, int iostat) {
  switch (number) {
    case 3000:
      b.LogAndBox("(5x,a)", {"Out of memory."});
      break;
    case 3002:
      b.Log("(5x,a)", {"Must know the number of characters before inputting character names.",
                       "Add to the " + Quoted("* Parameters") + " section:",
                       Quoted("Number of characters in analysis: xx") + "."});
      b.Box("Must know the number of characters before inputting character names." +
            std::string(1, kCR) + "Add to the " + Quoted("* Parameters") +
            " section: " + Quoted("Number of characters in analysis: xx") + ".");
      break;
    case 3003:
      b.Log("(5x,a)", {"Must know the number of stocks before inputting stock names.",
                       "Add to the " + Quoted("* Parameters") + " section: ",
                       Quoted("Number of stocks in analysis: xx") + "."});
      b.Box("Must know the number of stocks before inputting stock names." + std::string(1, kCR) +
            "Add to the " + Quoted("* Parameters") +
            " section: " + Quoted("Number of stocks in analysis: xx") + ".");
      break;
    case 3004:
      b.LogAndBox("(5x,a)", {"Must specify a hierarchy before region names.",
                             "See the " + Quoted("* Populations") + " command."});
      break;
    case 3005:
      b.LogAndBox("(5x,a)",
                  {"Inadequate information to invoke VELK " + b.a1 + ".", "Missing " + b.a2 + "."});
      break;
    case 3006:
      b.LogAndBox("(5x,a)", {"Could not open " + b.a1 + " file:", b.file2 + "."});
      break;
    case 3008:
      b.LogAndBox("(5x,a)", {"Could not open the " + Quoted(b.a1) + " window."});
      break;
    case 3009:
      b.LogAndBox("(5x,a,i5,a)", {"Could not read population identifier on record ", b.n1, "."});
      break;
    case 3010:
      b.LogAndBox("(5x,a)", {"Too many errors to continue. Correct the " + b.a1,
                             "file before continuing analysis."});
      break;
    case 3011:
      b.Log("(5x,a,i5)", {"Bad " + b.a1 + " record.  Record number ", b.n1});
      b.Box("Bad " + b.a1 + " record." + kCR + "Record number " + Field("(i5)", b.n1) + ".");
      break;
    case 3014:
      if (iostat == 0) {
        b.Log("(5x,a,/5x,a,i5,a)", {"No error. Disregard."});
      } else if (iostat == -1) {
        b.LogAndBox("(5x,a,/5x,a,i5,a)",
                    {"Premature end-of-file reading " + b.a1 + ",", "record number ", b.n1, "."});
      } else {
        b.LogAndBox("(5x,a,/5x,a,i5,a)",
                    {"Could not read " + b.a1 + ",", "record number ", b.n1, "."});
      }
      break;
    case 3015: {
      // Counts wider than the catalogue's two digits are shown whole.
      const bool wide = std::max(b.n1, b.n2) > 99;
      b.Log(wide ? "(5x,a,i0,a,i0,a)" : "(5x,a,i2,a,i2,a)",
            {"Read ", b.n1, " " + b.a1 + ", but expected ", b.n2, "."});
      b.Box("Read " + Field(wide ? "(i0)" : "(i2)", b.n1) + " " + b.a1 + "," + kCR +
            "but expected " + Field(wide ? "(i0)" : "(i2)", b.n2) + ".");
      break;
    }
    case 3016:
      b.LogAndBox("(5x,a,/5x,a,i4,a)", {"Insufficient " + b.a1 + " data.",
                                        "Missing the " + b.a2 + " field on record ", b.n1, "."});
      break;
    case 3017:
      b.Log("(5x,a)", {"An error occured while reading the locus definition.",
                       "Be sure the locus definition starts with " + Quoted("* characters") + " ",
                       "and ends with " + Quoted("* end") + " within the mixture file."});
      b.Box("An error occured while reading the locus definition." + std::string(1, kCR) +
            "Be sure the locus definition starts with " + Quoted("* characters") +
            " and ends with " + Quoted("* end") + " in the mixture file.");
      break;
    case 3018:
      b.LogAndBox("(5x,a)", {"Column heading " + b.a1 + " is used more than " + "once."});
      break;
    case 3019:
      b.LogAndBox("(5x,a)", {"Unknown column heading " + b.a1 + "."});
      break;
    case 3020:
      b.LogAndBox("(5x,a)", {"No column headings were found."});
      break;
    case 3021:
      b.LogAndBox("(5x,a)", {"Cannot set column order after information has already been parsed."});
      break;
    case 3022:
      b.Log("(5x,a)", {"[level] and [label] information are required to set region",
                       "labels and/or estimates."});
      b.Box("[level] and [label] information are required " + std::string(1, kCR) +
            "to set region labels and/or estimates.");
      break;
    case 3023: {
      // A limit wider than the catalogue's four digits is shown whole.
      const bool wide = b.n1 > 9999;
      b.Log(wide ? "(5x,a,i0,a)" : "(5x,a,i4,a)",
            {"Exceeded the maximum number of " + b.a1 + " = ", b.n1, "."});
      b.Box("Exceeded the maximum number of " + std::string(1, kCR) + b.a1 + " = " +
            Field(wide ? "(i0)" : "(i4)", b.n1) + ".");
      break;
    }
    case 3024:
      b.LogAndBox("(5x,a)", {"Mixture totals to zero."});
      break;
    case 3025: {
      const bool wide = std::max(b.n2, b.n3) > 99 || b.n1 > 9999;
      b.LogAndBox(wide ? "(5x,a,i0,a,i0,a,i0,a)" : "(5x,a,i2,a,i2,a,i4,a)",
                  {"Read ", b.n2, " characters, but expected ", b.n3, " on record ", b.n1, "."});
      break;
    }
    case 3026:
      b.LogAndBox("(5x,a,i4,a)", {"Missing " + b.a1 + " filename on record", b.n1, "."});
      break;
    case 3027:
      b.Log("(5x,a)",
            {"Must specify the " + b.a1 + " file.  Add to the " + Quoted("* Files") + " command:",
             Quoted(b.a1 + ": path\\filename") + "."});
      b.Box("Must specify the " + b.a1 + " file." + kCR + "Add to the " + Quoted("* Files") +
            " command: " + Quoted(b.a1 + ": path\\filename") + ".");
      break;
    case 3028:
      b.LogAndBox("(5x,a,i4,a)", {"No solution found with ", b.n1, " changes of basis."});
      break;
    case 3029:
      b.Log("(5x,a,5x,a)", {"Hashing function for identifying unique genotypes exceed ",
                            "the precision of this machine."});
      b.Box(
          "Hashing function for identifying unique genotypes exceed the precision of this "
          "machine.");
      break;
    case 3030:
      b.LogAndBox("(5x,a)", {"Could not open the output " + b.a1 + " file: ", b.file2 + "."});
      break;
    case 3031:
      b.LogAndBox("(5x,a)", {"Must set parameters before initializing " + b.a1 + "."});
      break;
    case 3032:
      b.LogAndBox("(5x,a,/5x,a,/5x,a,/5x,a)",
                  {"Cannot have missing baseline when running a simulation.",
                   "Population " + b.a1 + " has no data for character " + b.a2 + ".",
                   "The Rannala-Mountain model (Rannala-Mountain model: yes) gives",
                   "such entries its prior frequencies and can simulate them."});
      break;
    case 3033:
      b.LogAndBox("(5x,a)", {"Set number of resamples greater than 1."});
      break;
    case 3034:
      b.LogAndBox("(5x,a)", {"Set confidence interval between 0 and 100."});
      break;
    case 3035:
      b.LogAndBox("(5x,a)", {"Could not create directory " + b.file1 + "."});
      break;
    case 3036:
      b.Log("(5x,a)",
            {"All mixture genotypes are impossible. Reduce genotype tolerance parameter."});
      b.Box("All mixture genotypes are impossible.\nReduce genotype tolerance parameter.");
      break;
    case 3037:  // the front end asked the run to stop (between resamples, or stages: n1 < 0)
      b.LogAndBox("(5x,a)", {b.n1 < 0 ? std::string("Analysis stopped at the user's request.")
                                      : "Analysis stopped at the user's request after resample " +
                                            std::to_string(b.n1) + "."});
      break;
    case 3050:  // hundred percent simulations by region without regions
      b.LogAndBox("(5x,a,/5x,a)", {"Hundred percent simulations by region need regions:",
                                   "the populations table gives no region of level 1."});
      break;
    case 3051:  // a reference individuals file without its locus definition
      b.LogAndBox("(5x,a,/5x,a)",
                  {"The reference individuals file needs a locus definition (" +
                       Quoted("* characters") + " ... " + Quoted("* end") + ")",
                   "that names the fields ID, POP and the characters."});
      break;
    case 3052:  // held-out simulated individuals of a population without reference individuals
      b.LogAndBox("(5x,a,/5x,a)",
                  {"Population " + b.a1 + " has no individual in the reference individuals file,",
                   "so held-out simulated individuals cannot come from it."});
      break;
    case 3053:  // a sampler setting out of its range
      b.Log("(5x,a,/5x,a)",
            {"The Bayesian estimate cannot take " + b.a1 + " = " + std::to_string(b.n1) + ":",
             "sweeps at least 2, burn-in below the sweeps, thinning at least 1 with two kept "
             "sweeps, 1 to 64 chains."});
      break;
    case 3060:  // hundred percent simulations and scenarios in one run
      b.LogAndBox("(5x,a,/5x,a)", {"A simulation runs hundred percent simulations or scenarios,",
                                   "not both: give one of them its own control file."});
      break;
    case 3061:  // scenarios by region without regions
      b.LogAndBox("(5x,a,/5x,a)", {"Scenarios by region need regions:",
                                   "the populations table gives no region of level 1."});
      break;
    case 3038:  // a report whose writing or closing failed (a full disk, say)
      b.LogAndBox("(5x,a)", {"Could not write the output " + b.a1 + " file: ", b.file2 + "."});
      break;
    case 3039:  // two characters the data files could not tell apart
      b.LogAndBox("(5x,a,/5x,a,i5,a,/5x,a)",
                  {"Characters " + b.a1 + " and " + b.a2, "agree in their first 10 characters (record ",
                   b.n1, ").", "Give every character a name of its own in its first 10 characters."});
      break;
    case 3040:  // nothing to estimate from
      b.LogAndBox("(5x,a/5x,a)", {"No usable mixture individual: " + b.a1 + ".",
                                  "There is nothing to estimate from."});
      break;
    case 3041:  // a search that ended on no number
      b.LogAndBox("(5x,a/5x,a)",
                  {b.n1 == 1 ? "The likelihood search ended on a log-likelihood that is not finite."
                             : "The likelihood search ended with probability 0 for every genotype.",
                   "No estimate can be given."});
      break;
    default:  // 3001, 3007, 3012, 3013, above 3041 but 3050-3053 and 3060-3061: heading only
      break;
  }
}

}  // namespace

void WriteBody(Run& run, int number, const MessageArgs& args) {
  Body body(run, args);
  if (number >= 6 && number <= 999)
    Note(body, number);
  else if (number >= 1000 && number <= 1999)
    Warning(body, number);
  else if (number >= 2000 && number <= 2999)
    Err(body, number);
  else if (number >= 3000)
    Fatal(body, number, args.iostat);
}

}  // namespace velk
