// The run log's blocks, read in the order the driver writes them.
#include "report/run_log_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "numeric/quad_model.h"
#include "runlog/run_log_format.h"

namespace designopt {

using namespace runlogtext;

namespace {

bool startsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

// One number written with "%lf" or "%d": the whole word must be read.
bool parseNumber(const std::string& word, double& value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size();
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// The number that ends a labelled line, after the label: "... is 14" or "... is 0.312033.".
bool numberAfter(const std::string& line, const char* label, double& value) {
  if (!startsWith(line, label)) return false;
  std::string rest = trimmed(line.substr(std::string(label).size()));
  if (!rest.empty() && rest.back() == '.') rest.pop_back();
  const auto w = words(rest);
  return w.size() == 1 && parseNumber(w[0], value);
}

bool wholeNumber(double v, int& out) {
  if (!(v >= -2147483648.0 && v <= 2147483647.0) || v != std::floor(v)) return false;
  out = static_cast<int>(v);
  return true;
}

// The thrown fault of a block; caught once in readRunLog, which turns it into the
// reading's error.
struct LogFault {
  int line;
  std::string message;
};

class LogParser {
 public:
  explicit LogParser(const std::string& text) {
    std::string line;
    for (char c : text) {
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
        line.clear();
      } else {
        line.push_back(c);
      }
    }
    if (!line.empty()) lines_.push_back(line);
  }

  RunLogRecord read() {
    RunLogRecord record;
    while (skipBlank()) {
      if (!startsWith(current(), kVariableCount)) {
        fail(at(), "expected the header of a design (\"The number of variables is N\"), found \"" +
                       excerpt(current()) + "\": this is not a designopt run log");
      }
      record.designs.push_back(readDesign());
    }
    if (record.designs.empty()) fail(1, "no design found: the file is empty or not a run log");
    return record;
  }

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;

  [[noreturn]] static void fail(int line, const std::string& message) {
    throw LogFault{line, message};
  }
  int at() const { return static_cast<int>(next_) + 1; }
  std::string current() const { return trimmed(lines_[next_]); }
  static std::string excerpt(const std::string& s) {
    return s.size() > 60 ? s.substr(0, 60) + "..." : s;
  }

  // Moves to the next line that is not blank; false at the end of the log.
  bool skipBlank() {
    while (next_ < lines_.size() && current().empty()) ++next_;
    return next_ < lines_.size();
  }

  // The next non-blank line, which must exist: the log may not end inside a block.
  std::string take(const char* what) {
    if (!skipBlank()) {
      fail(static_cast<int>(lines_.size()),
           std::string("the log ends inside a block, where ") + what +
               " was expected: the log is truncated");
    }
    return lines_[next_++];
  }

  void expectLine(const char* text) {
    const std::string line = trimmed(take(text));
    if (line != text) {
      fail(at() - 1, std::string("expected \"") + text + "\", found \"" + excerpt(line) + "\"");
    }
  }

  std::vector<double> numbers(size_t count, const char* what) {
    const std::string line = take(what);
    const auto w = words(line);
    std::vector<double> values(w.size());
    bool ok = w.size() == count;
    for (size_t i = 0; ok && i < w.size(); ++i) ok = parseNumber(w[i], values[i]);
    if (!ok) {
      fail(at() - 1, "expected " + std::to_string(count) + " numbers (" + what + "), found \"" +
                         excerpt(trimmed(line)) + "\"");
    }
    return values;
  }

  double labelled(const char* label) {
    const std::string line = trimmed(take(label));
    double value = 0.0;
    if (!numberAfter(line, label, value)) {
      fail(at() - 1, std::string("expected \"") + label + " <number>\", found \"" +
                         excerpt(line) + "\"");
    }
    return value;
  }

  int labelledCount(const char* label) {
    int count = 0;
    if (!wholeNumber(labelled(label), count) || count < 0) {
      fail(at() - 1, std::string("expected a whole count after \"") + label + "\"");
    }
    return count;
  }

  DesignRecord readDesign() {
    DesignRecord d;
    d.line = at();
    d.n = labelledCount(kVariableCount);
    if (d.n < 1 || d.n > kMaxVariables) {
      fail(d.line, "the number of variables must be 1 to " + std::to_string(kMaxVariables));
    }
    const size_t n = static_cast<size_t>(d.n);
    expectLine(kRanges);
    d.lower = numbers(n, "the lower bounds");
    d.upper = numbers(n, "the upper bounds");
    d.seed = labelledCount(kInitialSeed);

    while (skipBlank()) {
      const std::string line = current();
      const int lineNo = at();
      if (startsWith(line, kVariableCount)) break;  // next design: this one ended early
      ++next_;
      if (startsWith(line, kHeadingRule) && line.find(kHeadingDesign) != std::string::npos) {
        d.iterations.push_back(readHeading(line, lineNo));
        continue;
      }
      if (startsWith(line, kEvaluations)) {
        --next_;
        readClosing(d);
        return d;
      }
      if (d.iterations.empty()) {
        fail(lineNo, "expected the heading of design iteration 1, found \"" + excerpt(line) + "\"");
      }
      IterationRecord& it = d.iterations.back();
      if (startsWith(line, kNewSampleRule) && line.find(kNewSampleCount) != std::string::npos) {
        double count = 0.0;
        const std::string body = trimmed(line.substr(3, line.rfind(kNewSampleRule) - 3));
        int c = 0;
        if (!numberAfter(body, kNewSampleCount, count) || !wholeNumber(count, c) ||
            c < 0) {
          fail(lineNo, "expected \"--- The number of new LHDs is <count> ---\"");
        }
        it.newSampleCount = c;
      } else if (line == kFittedCoefs) {
        ModelFit fit;
        fit.coefs = numbers(static_cast<size_t>(coefficientCount(d.n)), "the fitted coefficients");
        fit.maxPositiveDiff = labelled(kMaxPositiveDiff);
        it.fits.push_back(fit);
      } else if (line == kAddedForConcavity || line == kAddedForCutting) {
        readAddedPoints(it, n);
      } else if (line == kIgnoredConcavity) {
        it.ignoredConcavity = true;
      } else if (line == kSummary) {
        if (it.hasSummary) fail(lineNo, "a second points summary in one design iteration");
        readSummary(it, n);
      } else {
        fail(lineNo, "unexpected text in a design's record: \"" + excerpt(line) + "\"");
      }
    }
    return d;  // the log ends, or the next design begins, before the closing block
  }

  IterationRecord readHeading(const std::string& line, int lineNo) {
    IterationRecord it;
    it.line = lineNo;
    const auto w = words(line);
    double k = 0.0;
    // "======== Design  Iteration K ===========": the number is the fourth word.
    if (w.size() != 5 || w[1] != kHeadingDesign || w[2] != kHeadingIteration || !parseNumber(w[3], k) ||
        !wholeNumber(k, it.number) || it.number < 1) {
      fail(lineNo, "expected \"======== Design Iteration <number> ===========\"");
    }
    return it;
  }

  // One addition: one or both reasons, then n points with their costs.
  void readAddedPoints(IterationRecord& it, size_t n) {
    if (skipBlank() && current() == kAddedForCutting) ++next_;
    for (size_t k = 0; k < n; ++k) {
      const auto row = numbers(n + 1, "an added point and its cost");
      PricedPoint p;
      p.iteration = it.number;
      p.x.assign(row.begin(), row.end() - 1);
      p.cost = row.back();
      p.kind = PointKind::Added;
      it.added.push_back(p);
    }
  }

  void readSummary(IterationRecord& it, size_t n) {
    it.cutLevel = labelled(kSummaryCutLevel);
    it.lower = numbers(n, "the lower bounds of the model's frame");
    it.upper = numbers(n, "the upper bounds of the model's frame");
    expectLine(kExperimentCount);
    const std::string countLine = trimmed(take("the number of experiments"));
    double count = 0.0;
    int rows = 0;
    if (!parseNumber(countLine, count) || !wholeNumber(count, rows) || rows < 0) {
      fail(at() - 1, "expected the number of experiments, found \"" + excerpt(countLine) + "\"");
    }
    expectLine(kPointMatrix);
    for (int i = 0; i < rows; ++i) {
      auto row = numbers(n + 1, "a point of the point matrix and its cost");
      it.costs.push_back(row.back());
      row.pop_back();
      it.points.push_back(row);
    }
    expectLine(kNormalisedPoints);
    for (int i = 0; i < rows; ++i) numbers(n + 1, "a normalised point and its cost");
    expectLine(kLastOptimum);
    auto opt = numbers(n + 1, "the constrained optimum and its real cost");
    it.fOpt = opt.back();
    opt.pop_back();
    it.xOpt = opt;
    it.hasSummary = true;
  }

  void readClosing(DesignRecord& d) {
    d.evaluations = labelledCount(kEvaluations);
    d.evaluationsToOptimum = labelledCount(kEvaluationsToOptimum);
    d.bestCost = labelled(kGlobalMinimum);
    expectLine(kBestDesign);
    d.bestDesign = numbers(static_cast<size_t>(d.n), "the best design");
    d.closed = true;
    bool allAtNoFeasible = true;
    for (double v : d.bestDesign) allAtNoFeasible = allAtNoFeasible && v == kNoBestYet;
    d.feasibleFound = !(d.bestCost == kNoBestYet && allAtNoFeasible);
    if (skipBlank() && current() == kNoFeasibleDesign) {
      ++next_;
      d.feasibleFound = false;
    }
  }
};

// The pricing order the driver follows: the iteration's samples (the initial design in
// the first iteration, the new stratified points in later ones), then the points its
// refinement cycles added, then its constrained optimum. The summary lists the working
// set as kept points, then new samples, then added points, so the samples are the rows
// just before the added ones.
void derivePricingOrder(DesignRecord& d) {
  const size_t initialCount = static_cast<size_t>(coefficientCount(d.n));
  int number = 0;
  auto append = [&](PricedPoint p, int iteration, PointKind kind) {
    p.iteration = iteration;
    p.kind = kind;
    p.number = ++number;
    d.priced.push_back(p);
  };
  for (const IterationRecord& it : d.iterations) {
    if (it.hasSummary) {
      const size_t rows = it.points.size();
      const size_t sampleCount =
          it.newSampleCount < 0 ? initialCount : static_cast<size_t>(it.newSampleCount);
      if (rows < sampleCount + it.added.size()) {
        throw LogFault{it.line, "design iteration " + std::to_string(it.number) + " lists " +
                                    std::to_string(rows) + " points, fewer than its " +
                                    std::to_string(sampleCount) + " samples and " +
                                    std::to_string(it.added.size()) + " added points"};
      }
      const size_t first = rows - it.added.size() - sampleCount;
      for (size_t i = first; i < first + sampleCount; ++i) {
        PricedPoint p;
        p.x = it.points[i];
        p.cost = it.costs[i];
        append(p, it.number, PointKind::Sample);
      }
    }
    for (const PricedPoint& p : it.added) append(p, it.number, PointKind::Added);
    if (it.hasSummary) {
      PricedPoint p;
      p.x = it.xOpt;
      p.cost = it.fOpt;
      append(p, it.number, PointKind::Optimum);
    }
  }
}

}  // namespace

RunLogReading readRunLog(const std::string& text) {
  RunLogReading reading;
  try {
    LogParser parser(text);
    reading.record = parser.read();
    for (DesignRecord& d : reading.record.designs) derivePricingOrder(d);
    reading.ok = true;
  } catch (const LogFault& fault) {
    reading.record = RunLogRecord{};
    reading.errorLine = fault.line;
    reading.error = fault.message;
  }
  return reading;
}

const char* pointKindName(PointKind kind) {
  switch (kind) {
    case PointKind::Sample: return "sample";
    case PointKind::Added: return "added";
    case PointKind::Optimum: return "optimum";
  }
  return "sample";
}

}  // namespace designopt
