#include "sim/command_table.h"

#include <array>
#include <charconv>
#include <cstring>

#include "sim/scpi_values.h"

namespace multitone::sim {
namespace {

constexpr std::string_view kIdentity = "multitone,Simulated Audio Analyzer,SIM-0001,1.0";

// Names of choices as SCPI mnemonics: the short form is what queries answer.
constexpr std::array<std::string_view, 3> kUnits = {"V", "DBV", "DBU"};
constexpr std::array<std::string_view, 3> kWindows = {"FLATtop", "HANNing", "RECTangular"};
constexpr std::array<std::string_view, 4> kSizes = {"S4K", "S8K", "S16K", "S32K"};
constexpr std::array<int, 4> kSizePoints = {4096, 8192, 16384, 32768};
constexpr std::array<std::string_view, 2> kBands = {"B22", "B44"};
constexpr std::array<std::string_view, 2> kInputFilters = {"OFF", "UFIL1"};
constexpr std::array<std::string_view, 2> kFormats = {"REAL", "ASCii"};
constexpr std::array<std::string_view, 2> kAxisModes = {"AUTO", "MANual"};

Settings& SettingsOf(CommandContext& c) { return c.instrument.State().settings; }

// The suffix at `index`, checked to lie in low..high (-114 otherwise).
int Suffix(const Call& call, std::size_t index, int low, int high) {
  const int value = call.suffixes[index];
  if (value < low || value > high) {
    throw ScpiFailure(ScpiCode::HeaderSuffixOutOfRange, call.unit.header);
  }
  return value;
}

void Answer(CommandContext& c, std::string text) { c.answers.push_back(std::move(text)); }

template <std::size_t N>
std::size_t Choose(const Call& call, const std::array<std::string_view, N>& names) {
  return ChoiceParameter(call.At(0), names);
}

// The ranges of the numeric settings; the defaults are the power-on values.
constexpr NumericRange kAxisLimitRange{1e-3, 1e6, 0};  // default: the limit's own, below
const NumericRange kReferenceRange{-1e3, 1e3, SweepTrace{}.reference};
const NumericRange kAttenuationRange{0.0, 200.0, UserFilterSettings{}.attenuation_db};
constexpr NumericRange kRegisterRange{0, 255, 0};

// A status register value, 0 to 255, rounded to the nearest integer.
std::uint8_t RegisterValue(const Call& call) {
  return static_cast<std::uint8_t>(RangedParameter(call.At(0), Quantity::Plain, kRegisterRange) + 0.5);
}

// ---- Common commands ------------------------------------------------------

void Identify(CommandContext& c, const Call&) { Answer(c, std::string(kIdentity)); }
void Reset(CommandContext& c, const Call&) { c.instrument.ResetSettings(); }
void ClearStatus(CommandContext& c, const Call&) {
  c.errors.Clear();
  c.status.ClearEvents();
}
// Every operation is complete when the next command starts.
void OperationComplete(CommandContext& c, const Call&) { c.status.NoteOperationComplete(); }
void SetEventEnable(CommandContext& c, const Call& call) { c.status.SetEventEnable(RegisterValue(call)); }
void QueryEventEnable(CommandContext& c, const Call&) { Answer(c, std::to_string(c.status.EventEnable())); }
void QueryEvents(CommandContext& c, const Call&) { Answer(c, std::to_string(c.status.TakeEvents())); }
void SetServiceEnable(CommandContext& c, const Call& call) { c.status.SetServiceEnable(RegisterValue(call)); }
void QueryServiceEnable(CommandContext& c, const Call&) { Answer(c, std::to_string(c.status.ServiceEnable())); }
void QueryStatusByte(CommandContext& c, const Call&) {
  Answer(c, std::to_string(c.status.StatusByte(c.output_pending, c.errors.Size() > 0)));
}
void OperationCompleteQuery(CommandContext& c, const Call&) { Answer(c, "1"); }
void Wait(CommandContext&, const Call&) {}  // every command completes before the next starts
void SelfTest(CommandContext& c, const Call&) { Answer(c, "0"); }

// ---- System -----------------------------------------------------------------

void NextError(CommandContext& c, const Call&) { Answer(c, c.errors.PopAnswer()); }
void AllErrors(CommandContext& c, const Call&) { Answer(c, c.errors.PopAllAnswers()); }
void ErrorCount(CommandContext& c, const Call&) { Answer(c, std::to_string(c.errors.Size())); }
void Version(CommandContext& c, const Call&) { Answer(c, "1999.0"); }

void SetMemoryString(CommandContext& c, const Call& call) {
  const int number = Suffix(call, 0, 1, static_cast<int>(kMemoryStrings));
  c.instrument.State().memory[static_cast<std::size_t>(number - 1)] = StringParameter(call.At(0));
  c.instrument.DisplayChanged();
}
void QueryMemoryString(CommandContext& c, const Call& call) {
  const int number = Suffix(call, 0, 1, static_cast<int>(kMemoryStrings));
  Answer(c, QuotedString(c.instrument.State().memory[static_cast<std::size_t>(number - 1)]));
}

// "x=381,y=296,w=259,h=142": position and size in screen pixels.
void ShowExplanation(CommandContext& c, const Call& call) {
  const std::string& text = StringParameter(call.At(0));
  std::array<int, 4> values{};
  std::array<bool, 4> seen{};
  constexpr std::string_view kKeys = "xywh";
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    const std::size_t key = item.size() > 2 && item[1] == '=' ? kKeys.find(item[0]) : std::string_view::npos;
    int value = 0;
    const char* end = item.data() + item.size();
    if (key == std::string_view::npos ||
        std::from_chars(item.data() + 2, end, value).ptr != end || value < 0 || value > 10000) {
      throw ScpiFailure(ScpiCode::IllegalParameterValue, text.substr(0, 40));
    }
    values[key] = value;
    seen[key] = true;
  }
  if (seen != std::array<bool, 4>{true, true, true, true}) {
    throw ScpiFailure(ScpiCode::IllegalParameterValue, "needs x=,y=,w=,h=");
  }
  ExplanationWindow& e = c.instrument.State().explanation;
  e.shown = true;
  e.placement = text;
  e.x = values[0];
  e.y = values[1];
  e.width = values[2];
  e.height = values[3];
  c.instrument.DisplayChanged();
}
void QueryExplanationPlacement(CommandContext& c, const Call&) {
  Answer(c, QuotedString(c.instrument.State().explanation.placement));
}
void SetExplanationText(CommandContext& c, const Call& call) {
  c.instrument.State().explanation.text = StringParameter(call.At(0));
  c.instrument.DisplayChanged();
}
void QueryExplanationText(CommandContext& c, const Call&) {
  Answer(c, QuotedString(c.instrument.State().explanation.text));
}

// ---- Display --------------------------------------------------------------------

void SetFftUnitTrace(CommandContext& c, const Call& call) {
  SettingsOf(c).fft_unit_trace[static_cast<std::size_t>(call.argument)] = BooleanParameter(call.At(0));
}
void QueryFftUnitTrace(CommandContext& c, const Call& call) {
  Answer(c, SettingsOf(c).fft_unit_trace[static_cast<std::size_t>(call.argument)] ? "1" : "0");
}

// argument 0: X source, 1: X scale
void SetAxisMode(CommandContext& c, const Call& call) {
  const bool manual = Choose(call, kAxisModes) == 1;
  SweepGraph& g = c.instrument.State().sweep;
  (call.argument == 0 ? g.x_source_manual : g.x_scale_manual) = manual;
  c.instrument.DisplayChanged();
}
void QueryAxisMode(CommandContext& c, const Call& call) {
  const SweepGraph& g = c.instrument.State().sweep;
  const bool manual = call.argument == 0 ? g.x_source_manual : g.x_scale_manual;
  Answer(c, std::string(ShortForm(kAxisModes[manual ? 1 : 0])));
}

// argument 0: left limit, 1: right limit
void SetAxisLimit(CommandContext& c, const Call& call) {
  NumericRange range = kAxisLimitRange;
  range.default_value = call.argument == 0 ? SweepGraph{}.x_left_hz : SweepGraph{}.x_right_hz;
  const double hz = RangedParameter(call.At(0), Quantity::Frequency, range);
  SweepGraph& g = c.instrument.State().sweep;
  (call.argument == 0 ? g.x_left_hz : g.x_right_hz) = hz;
  c.instrument.DisplayChanged();
}
void QueryAxisLimit(CommandContext& c, const Call& call) {
  const SweepGraph& g = c.instrument.State().sweep;
  Answer(c, Nr3(call.argument == 0 ? g.x_left_hz : g.x_right_hz));
}

// argument: trace 0 (A) or 1 (B)
void SetReference(CommandContext& c, const Call& call) {
  const double volts = RangedParameter(call.At(0), Quantity::Voltage, kReferenceRange);
  c.instrument.State().sweep.traces[static_cast<std::size_t>(call.argument)].reference = volts;
  c.instrument.DisplayChanged();
}
void QueryReference(CommandContext& c, const Call& call) {
  Answer(c, Nr3(c.instrument.State().sweep.traces[static_cast<std::size_t>(call.argument)].reference));
}

// ---- Sense --------------------------------------------------------------------------

void SetUnit(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  const int channel = Suffix(call, 1, 1, 2);
  SettingsOf(c).unit[static_cast<std::size_t>(channel - 1)] = static_cast<LevelUnit>(Choose(call, kUnits));
}
void QueryUnit(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  const int channel = Suffix(call, 1, 1, 2);
  Answer(c, std::string(kUnits[static_cast<std::size_t>(SettingsOf(c).unit[static_cast<std::size_t>(channel - 1)])]));
}

void SetWindow(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  SettingsOf(c).window = static_cast<WindowKind>(Choose(call, kWindows));
}
void QueryWindow(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  Answer(c, std::string(ShortForm(kWindows[static_cast<std::size_t>(SettingsOf(c).window)])));
}

void SetFftSize(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  SettingsOf(c).fft_size = kSizePoints[Choose(call, kSizes)];
}
void QueryFftSize(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  for (std::size_t i = 0; i < kSizes.size(); ++i) {
    if (kSizePoints[i] == SettingsOf(c).fft_size) Answer(c, std::string(kSizes[i]));
  }
}

void SetUserFilterType(CommandContext&, const Call& call) {
  Suffix(call, 0, 1, 1);
  ChoiceParameter(call.At(0), {"BPASs"});  // the one type this analyzer has
}
void QueryUserFilterType(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  Answer(c, "BPAS");
}

// argument 0: lower edge, 1: upper edge
void SetUserFilterEdge(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  const NumericRange range{1.0, MeasurementEngine::kSampleRateHz / 2 * 0.95,
                           call.argument == 0 ? UserFilterSettings{}.lower_hz : UserFilterSettings{}.upper_hz};
  const double hz = RangedParameter(call.At(0), Quantity::Frequency, range);
  UserFilterSettings& f = SettingsOf(c).user_filter;
  (call.argument == 0 ? f.lower_hz : f.upper_hz) = hz;
}
void QueryUserFilterEdge(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  const UserFilterSettings& f = SettingsOf(c).user_filter;
  Answer(c, Nr3(call.argument == 0 ? f.lower_hz : f.upper_hz));
}

void SetUserFilterAttenuation(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  SettingsOf(c).user_filter.attenuation_db =
      RangedParameter(call.At(0), Quantity::Decibel, kAttenuationRange);
}
void QueryUserFilterAttenuation(CommandContext& c, const Call& call) {
  Suffix(call, 0, 1, 1);
  Answer(c, Nr3(SettingsOf(c).user_filter.attenuation_db));
}

// SENSe1:DATA1? level of A, DATA2? level of B; SENSe3:DATAn? frequency.
void QueryData(CommandContext& c, const Call& call) {
  const int sensor = call.suffixes[0];
  if (sensor != 1 && sensor != 3) throw ScpiFailure(ScpiCode::HeaderSuffixOutOfRange, call.unit.header);
  const int input = Suffix(call, 1, 1, 2) - 1;
  Answer(c, Nr3(sensor == 1 ? c.instrument.LevelReading(input) : c.instrument.FrequencyReading(input)));
}

// ---- Input, initiate, format ------------------------------------------------------------

void SetBandMode(CommandContext& c, const Call& call) {
  SettingsOf(c).band = static_cast<BandMode>(Choose(call, kBands));
}
void QueryBandMode(CommandContext& c, const Call&) {
  Answer(c, std::string(kBands[static_cast<std::size_t>(SettingsOf(c).band)]));
}

void SetInputFilter(CommandContext& c, const Call& call) {
  SettingsOf(c).input_filter = static_cast<InputFilter>(Choose(call, kInputFilters));
}
void QueryInputFilter(CommandContext& c, const Call&) {
  Answer(c, std::string(kInputFilters[static_cast<std::size_t>(SettingsOf(c).input_filter)]));
}

// Continuous off takes one single acquisition at once, as INIT does.
void SetContinuous(CommandContext& c, const Call& call) {
  SettingsOf(c).continuous = BooleanParameter(call.At(0));
  if (!SettingsOf(c).continuous) c.instrument.Acquire();
}
void QueryContinuous(CommandContext& c, const Call&) { Answer(c, SettingsOf(c).continuous ? "1" : "0"); }
void Initiate(CommandContext& c, const Call&) { c.instrument.Acquire(); }

void SetFormat(CommandContext& c, const Call& call) {
  const std::size_t format = Choose(call, kFormats);
  if (call.unit.parameters.size() == 2) {
    const double bits = NumberParameter(call.At(1), Quantity::Plain);
    if (format != 0 || bits != 32) throw ScpiFailure(ScpiCode::IllegalParameterValue, call.At(1).text);
  }
  SettingsOf(c).format = static_cast<TransferFormat>(format);
}
void QueryFormat(CommandContext& c, const Call&) {
  Answer(c, SettingsOf(c).format == TransferFormat::Real ? "REAL,32" : "ASC");
}

// ---- Traces ---------------------------------------------------------------------------------

// A list of floats in the transfer format: a definite-length block of
// little-endian 32-bit floats, or NR3 numbers joined by ",".
std::string FloatList(const std::vector<float>& values, TransferFormat format) {
  if (format == TransferFormat::Ascii) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i > 0) text += ',';
      text += Nr3(values[i]);
    }
    return text;
  }
  const std::string count = std::to_string(values.size() * 4);
  std::string block = "#" + std::to_string(count.size()) + count;
  block.reserve(block.size() + values.size() * 4);
  for (const float v : values) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 4; ++i) block += static_cast<char>((bits >> (8 * i)) & 0xff);
  }
  return block;
}

// argument: input 0 (A) or 1 (B); +2 for the frequency axis
void LoadFft(CommandContext& c, const Call& call) {
  const std::vector<float> values = call.argument >= 2 ? c.instrument.SpectrumFrequencies()
                                                       : c.instrument.SpectrumReading(call.argument);
  Answer(c, FloatList(values, SettingsOf(c).format));
}

// argument: trace (0 A, 1 B) x 2 + (0 X, 1 Y)
void StoreSweep(CommandContext& c, const Call& call) {
  std::vector<double> values;
  const Quantity quantity = call.argument % 2 == 0 ? Quantity::Frequency : Quantity::Plain;
  for (const Parameter& p : call.unit.parameters) values.push_back(NumberParameter(p, quantity));
  SweepTrace& trace = c.instrument.State().sweep.traces[static_cast<std::size_t>(call.argument / 2)];
  (call.argument % 2 == 0 ? trace.x : trace.y) = std::move(values);
  c.instrument.DisplayChanged();
}
void QuerySweep(CommandContext& c, const Call& call) {
  const SweepTrace& trace = c.instrument.State().sweep.traces[static_cast<std::size_t>(call.argument / 2)];
  const std::vector<double>& values = call.argument % 2 == 0 ? trace.x : trace.y;
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) text += (i > 0 ? "," : "") + Nr3(values[i]);
  Answer(c, text);
}

constexpr std::uint16_t kTracePoints = static_cast<std::uint16_t>(kMaxTracePoints);

constexpr Command kCommands[] = {
    {"*IDN?", 0, 0, Identify},
    {"*RST", 0, 0, Reset},
    {"*CLS", 0, 0, ClearStatus},
    {"*OPC", 0, 0, OperationComplete},
    {"*OPC?", 0, 0, OperationCompleteQuery},
    {"*ESE", 1, 1, SetEventEnable},
    {"*ESE?", 0, 0, QueryEventEnable},
    {"*ESR?", 0, 0, QueryEvents},
    {"*SRE", 1, 1, SetServiceEnable},
    {"*SRE?", 0, 0, QueryServiceEnable},
    {"*STB?", 0, 0, QueryStatusByte},
    {"*WAI", 0, 0, Wait},
    {"*TST?", 0, 0, SelfTest},
    {"SYSTem:ERRor[:NEXT]?", 0, 0, NextError},
    {"SYSTem:ERRor:ALL?", 0, 0, AllErrors},
    {"SYSTem:ERRor:COUNt?", 0, 0, ErrorCount},
    {"SYSTem:VERSion?", 0, 0, Version},
    {"SYSTem:MEMory:STRing#", 1, 1, SetMemoryString},
    {"SYSTem:MEMory:STRing#?", 0, 0, QueryMemoryString},
    {"SYSTem:DISPlay:EXPLanation:SHOW", 1, 1, ShowExplanation},
    {"SYSTem:DISPlay:EXPLanation:SHOW?", 0, 0, QueryExplanationPlacement},
    {"SYSTem:DISPlay:EXPLanation:TEXT", 1, 1, SetExplanationText},
    {"SYSTem:DISPlay:EXPLanation:TEXT?", 0, 0, QueryExplanationText},
    {"DISPlay:FFT:A:UNIT:TRACe", 1, 1, SetFftUnitTrace, 0},
    {"DISPlay:FFT:A:UNIT:TRACe?", 0, 0, QueryFftUnitTrace, 0},
    {"DISPlay:FFT:B:UNIT:TRACe", 1, 1, SetFftUnitTrace, 1},
    {"DISPlay:FFT:B:UNIT:TRACe?", 0, 0, QueryFftUnitTrace, 1},
    {"DISPlay:SWEep:X:SOURce", 1, 1, SetAxisMode, 0},
    {"DISPlay:SWEep:X:SOURce?", 0, 0, QueryAxisMode, 0},
    {"DISPlay:SWEep:X:SCALe", 1, 1, SetAxisMode, 1},
    {"DISPlay:SWEep:X:SCALe?", 0, 0, QueryAxisMode, 1},
    {"DISPlay:SWEep:X:LEFT", 1, 1, SetAxisLimit, 0},
    {"DISPlay:SWEep:X:LEFT?", 0, 0, QueryAxisLimit, 0},
    {"DISPlay:SWEep:X:RIGHt", 1, 1, SetAxisLimit, 1},
    {"DISPlay:SWEep:X:RIGHt?", 0, 0, QueryAxisLimit, 1},
    {"DISPlay:SWEep:A:REFerence:VALue", 1, 1, SetReference, 0},
    {"DISPlay:SWEep:A:REFerence:VALue?", 0, 0, QueryReference, 0},
    {"DISPlay:SWEep:B:REFerence:VALue", 1, 1, SetReference, 1},
    {"DISPlay:SWEep:B:REFerence:VALue?", 0, 0, QueryReference, 1},
    {"SENSe#:UNIT#", 1, 1, SetUnit},
    {"SENSe#:UNIT#?", 0, 0, QueryUnit},
    {"SENSe#:FUNCtion:FFT:WINDow", 1, 1, SetWindow},
    {"SENSe#:FUNCtion:FFT:WINDow?", 0, 0, QueryWindow},
    {"SENSe#:FUNCtion:FFT:SIZE", 1, 1, SetFftSize},
    {"SENSe#:FUNCtion:FFT:SIZE?", 0, 0, QueryFftSize},
    {"SENSe#:UFILter", 1, 1, SetUserFilterType},
    {"SENSe#:UFILter?", 0, 0, QueryUserFilterType},
    {"SENSe#:UFILter:PASSband:LOWer", 1, 1, SetUserFilterEdge, 0},
    {"SENSe#:UFILter:PASSband:LOWer?", 0, 0, QueryUserFilterEdge, 0},
    {"SENSe#:UFILter:PASSband:UPPer", 1, 1, SetUserFilterEdge, 1},
    {"SENSe#:UFILter:PASSband:UPPer?", 0, 0, QueryUserFilterEdge, 1},
    {"SENSe#:UFILter:ATTenuation", 1, 1, SetUserFilterAttenuation},
    {"SENSe#:UFILter:ATTenuation?", 0, 0, QueryUserFilterAttenuation},
    {"SENSe#:DATA#?", 0, 0, QueryData},
    {"INPut:BANDwidth:MODE", 1, 1, SetBandMode},
    {"INPut:BANDwidth:MODE?", 0, 0, QueryBandMode},
    {"INPut:FILTer", 1, 1, SetInputFilter},
    {"INPut:FILTer?", 0, 0, QueryInputFilter},
    {"INITiate:CONTinuous", 1, 1, SetContinuous},
    {"INITiate:CONTinuous?", 0, 0, QueryContinuous},
    {"INITiate[:IMMediate]", 0, 0, Initiate},
    {"FORMat[:DATA]", 1, 2, SetFormat},
    {"FORMat[:DATA]?", 0, 0, QueryFormat},
    {"TRACe:LOAD:FFT_AY?", 0, 0, LoadFft, 0},
    {"TRACe:LOAD:FFT_BY?", 0, 0, LoadFft, 1},
    {"TRACe:LOAD:FFT_AX?", 0, 0, LoadFft, 2},
    {"TRACe:LOAD:FFT_BX?", 0, 0, LoadFft, 3},
    {"TRACe:SWEep:STORe:AX", 1, kTracePoints, StoreSweep, 0},
    {"TRACe:SWEep:STORe:AX?", 0, 0, QuerySweep, 0},
    {"TRACe:SWEep:STORe:AY", 1, kTracePoints, StoreSweep, 1},
    {"TRACe:SWEep:STORe:AY?", 0, 0, QuerySweep, 1},
    {"TRACe:SWEep:STORe:BX", 1, kTracePoints, StoreSweep, 2},
    {"TRACe:SWEep:STORe:BX?", 0, 0, QuerySweep, 2},
    {"TRACe:SWEep:STORe:BY", 1, kTracePoints, StoreSweep, 3},
    {"TRACe:SWEep:STORe:BY?", 0, 0, QuerySweep, 3},
};

}  // namespace

std::span<const Command> CommandTable() { return kCommands; }

std::string_view IdentityText() { return kIdentity; }

}  // namespace multitone::sim
