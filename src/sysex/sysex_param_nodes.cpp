#include "sysex/sysex_param_nodes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/int_helpers.h"

namespace melko {

namespace {

bool IsUpperHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
int HexDigit(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }
bool IsTextBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits a typed message at blanks (runs count as one).
std::vector<std::string> UpperTokens(std::string_view text) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsTextBlank(text[i])) ++i;
    size_t b = i;
    while (i < text.size() && !IsTextBlank(text[i])) ++i;
    if (i == b) break;
    std::string t(text.substr(b, i - b));
    for (char& c : t) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

// A byte token: hexadecimal digits only, value 00..7F.
bool ParseDataByte(std::string_view token, uint8_t& out) {
  if (token.empty()) return false;
  unsigned v = 0;
  for (char c : token) {
    if (!IsUpperHexDigit(c)) return false;
    v = v * 16 + static_cast<unsigned>(HexDigit(c));
    if (v > 0x7F) return false;
  }
  out = static_cast<uint8_t>(v);
  return true;
}

// Path tokens: split at blanks, runs counting as one; a leading blank gives
// an empty first token, which ends the path.
std::vector<std::string_view> PathTokens(std::string_view path) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < path.size()) {
    size_t b = i;
    while (i < path.size() && path[i] != ' ' && path[i] != '\t') ++i;
    if (i == b) break;
    tokens.push_back(path.substr(b, i - b));
    while (i < path.size() && (path[i] == ' ' || path[i] == '\t')) ++i;
  }
  return tokens;
}

}  // namespace

TSysExParamNodes::TSysExParamNodes() = default;

TSysExParamNodes::TSysExParamNodes(const std::string& folder) { Load(folder); }

TSysExParamNodes::~TSysExParamNodes() { Clear(); }

void TSysExParamNodes::Clear() {
  FreeTree();
  fields_.clear();
  params_.Clear();
  models_.Clear();
  extras_.Clear();
  types_.Clear();
  ranges_.Clear();
  tables_.Clear();
  groups_.Clear();
  units_.Clear();
  library_.Close();
  loadError_.clear();
}

// ---- tree -------------------------------------------------------------------

TSysExNode* TSysExParamNodes::NewNode(uint8_t value, uint8_t extraIndex, TSysExNode* parent) {
  auto* node = new TSysExNode;
  node->Value = value;
  node->ExtraIndex = extraIndex;
  node->Parent = parent;
  return node;
}

void TSysExParamNodes::FreeTree() {
  // Paths can be long and sibling chains wide: walk with an explicit stack.
  std::vector<TSysExNode*> pending;
  if (root_) pending.push_back(root_);
  root_ = nullptr;
  while (!pending.empty()) {
    TSysExNode* node = pending.back();
    pending.pop_back();
    if (node->Next) pending.push_back(node->Next);
    if (node->Child) pending.push_back(node->Child);
    delete node;
  }
}

uint8_t TSysExParamNodes::MaskOf(const TSysExNode* node) const {
  return extras_.Object(node->ExtraIndex)->Mask;
}

void TSysExParamNodes::ParseToken(std::string_view token, uint8_t& value, uint8_t& extraIndex) {
  value = 0;
  extraIndex = 0;
  if (token.size() < 2) return;
  const char hi = token[0], lo = token[1];
  const bool fixedHi = IsUpperHexDigit(hi), fixedLo = IsUpperHexDigit(lo);
  uint8_t mask = 0xFF;
  if (fixedHi) value = static_cast<uint8_t>(value | (HexDigit(hi) << 4));
  else mask &= 0x0F;
  if (fixedLo) value = static_cast<uint8_t>(value | HexDigit(lo));
  else mask &= 0xF0;
  const char key[2] = {fixedHi ? '0' : hi, fixedLo ? '0' : lo};
  int index = extras_.IndexOf(std::string_view(key, 2));
  // Entry 0 stands for every fixed byte and must keep its full mask: a
  // wildcard without a section of its own is matched as the fixed byte of its
  // fixed nibbles instead of loosening every fixed byte of the tree.
  if (index <= 0 || index > 0xFF) return;
  extraIndex = static_cast<uint8_t>(index);
  TSysExExtra* extra = extras_.Object(index);
  extra->Mask = mask;
  extra->MaxValue = mask == 0x00 ? 0x7F : mask == 0x0F ? 0x07 : 0x0F;
}

TSysExNode* TSysExParamNodes::InsertPath(std::string_view path, int paramIndex) {
  std::vector<std::string_view> tokens = PathTokens(path);
  TSysExNode* node = root_;
  uint8_t b = 0xF0, x = 0;
  size_t next = 0;
  for (;;) {
    if ((b & MaskOf(node)) == node->Value) {
      if (next == tokens.size()) break;
      ParseToken(tokens[next++], b, x);
      if (!node->Child) node->Child = NewNode(b, x, node);
      node = node->Child;
    } else {
      // A new node always matches its own token, so this walk ends.
      if (!node->Next) node->Next = NewNode(b, x, node->Parent);
      node = node->Next;
    }
  }
  node->ParamIndex = paramIndex;
  return node;
}

int TSysExParamNodes::FindParam(std::span<const uint8_t> body, size_t& dataPos) {
  fields_.clear();
  dataPos = 0;
  TSysExNode* node = root_;
  size_t pos = 0;
  uint8_t b = 0xF0;
  for (;;) {
    while (node && (b & MaskOf(node)) != node->Value) node = node->Next;
    if (!node) return -1;
    if (node->ExtraIndex != 0) {
      TSysExExtra* extra = extras_.Object(node->ExtraIndex);
      extra->Pos = pos - 1;
      int v = b & static_cast<uint8_t>(~extra->Mask);
      extra->Value = extra->Mask == 0x0F ? v >> 4 : v;
      fields_.push_back(extra);
    }
    if (pos >= body.size()) return -1;
    if (!node->Child) {
      dataPos = pos;
      return node->ParamIndex;
    }
    b = body[pos++];
    node = node->Child;
  }
}

// ---- values -----------------------------------------------------------------

int32_t TSysExParamNodes::DecodeValue(const TSysExType& type, std::span<const uint8_t> body, size_t pos) const {
  const int shift = type.Kind == kSysExNibbled ? 4 : 7;
  uint32_t v = 0;
  for (int32_t i = 0; i < type.Range->Size; ++i) {
    size_t at = pos + static_cast<size_t>(i);
    uint32_t byte = at < body.size() ? body[at] : 0;
    v = (v << shift) | byte;
  }
  return static_cast<int32_t>(v - static_cast<uint32_t>(type.Range->Offset));
}

void TSysExParamNodes::EncodeValue(const TSysExType& type, std::span<uint8_t> body, size_t pos, int32_t value) const {
  const TSysExRange& r = *type.Range;
  const int64_t raw = ClampInt(int64_t{value} + r.Offset, r.Min, r.Max);
  const bool nibbled = type.Kind == kSysExNibbled;
  for (int32_t i = r.Size - 1, k = 0; i >= 0; --i, ++k) {
    size_t at = pos + static_cast<size_t>(k);
    if (at >= body.size()) break;
    int64_t shift = int64_t{i} * (nibbled ? 4 : 7);
    int64_t part = shift >= 63 ? (raw < 0 ? -1 : 0) : raw >> shift;
    body[at] = static_cast<uint8_t>(part & (nibbled ? 0x0F : 0x7F));
  }
}

std::string TSysExParamNodes::ValueToText(const TSysExType& type, const TSysExModel& model,
                                          std::span<const uint8_t> body, size_t pos, int32_t value) const {
  if (type.Kind == kSysExText) {
    size_t end = pos;
    while (end < body.size() && body[end] != 0xF7) ++end;
    if (model.BgnCheckSum > 0 && end > pos) --end;
    return std::string(reinterpret_cast<const char*>(body.data()) + pos, end - pos);
  }
  if (type.Kind == kSysExTable) {
    std::string bytes;
    for (int32_t i = 0; i < type.Range->Size; ++i) {
      size_t at = pos + static_cast<size_t>(i);
      char buf[8];
      std::snprintf(buf, sizeof buf, "%.3d ", at < body.size() ? body[at] : 0);
      bytes += buf;
    }
    while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
    std::string text;
    if (type.Table) {
      for (const TSysExTableEntry& e : *type.Table) {
        if (e.Value == value) {
          text = e.Text;
          break;
        }
      }
    }
    return text + " (" + bytes + ")";
  }
  // The library gets the 256 zeroed bytes it may fill; the rest is slack
  // against a conversion that writes too far.
  char buffer[1024] = {};
  type.GetText(value, buffer);
  std::string text(buffer, strnlen(buffer, 255));
  if (type.Range->Offset > 0 && value > 0) text = "+" + text;
  return text;
}

size_t TSysExParamNodes::ExpectedLength(const TSysExParam& param, size_t dataPos) const {
  return dataPos + static_cast<size_t>(param.Type->Range->Size) + 1 + (param.Model->BgnCheckSum > 0 ? 1 : 0);
}

void TSysExParamNodes::ChecksumAndEnd(std::vector<uint8_t>& body, size_t dataEnd, int32_t bgnCheckSum) {
  size_t at = dataEnd;
  if (bgnCheckSum > 0) {
    uint8_t sum = 0;
    for (size_t i = static_cast<size_t>(bgnCheckSum) - 1; i < at && i < body.size(); ++i) sum = static_cast<uint8_t>(sum + body[i]);
    if (body.size() < at + 1) body.resize(at + 1);
    body[at++] = static_cast<uint8_t>((0x80 - (sum & 0x7F)) & 0x7F);
  }
  if (body.size() < at + 1) body.resize(at + 1);
  body[at] = 0xF7;
}

// ---- operations ---------------------------------------------------------------

TSysExInfo TSysExParamNodes::Analyse(std::span<const uint8_t> body) {
  TSysExInfo info;
  size_t pos = 0;
  int index = FindParam(body, pos);
  info.ExtraCount = static_cast<int>(std::min<size_t>(fields_.size(), info.Extras.size()));
  for (int i = 0; i < info.ExtraCount; ++i) info.Extras[static_cast<size_t>(i)] = fields_[static_cast<size_t>(i)];
  if (index >= 0) {
    const TSysExParam& param = *params_.Object(index);
    const TSysExType& type = *param.Type;
    if (type.Kind == kSysExText || body.size() == ExpectedLength(param, pos)) {
      info.Name = params_.Name(index);
      info.Param = &param;
      info.Units = units_.Name(type.UnitsIndex);
      int32_t value = 0;
      if (type.Kind != kSysExText) {
        value = DecodeValue(type, body, pos);
        info.Value = value;
      }
      info.ValueText = ValueToText(type, *param.Model, body, pos, value);
    }
  }
  if (info.Name.empty()) info.HexText = HexText(body);
  return info;
}

int TSysExParamNodes::SetFromText(std::vector<uint8_t>& body, std::string_view text) {
  std::vector<std::string> tokens = UpperTokens(text);
  if (!tokens.empty() && tokens[0] == "F0") {
    std::vector<uint8_t> work;
    int32_t bgn = 0;
    for (size_t i = 1; i < tokens.size(); ++i) {
      const std::string& t = tokens[i];
      if (t == "F7") break;
      if (work.size() >= kMaxRawBytes) return 3;
      if (t == "SS") {
        if (bgn == 0) bgn = static_cast<int32_t>(work.size()) + 1;
        continue;
      }
      uint8_t byte = 0;
      if (!ParseDataByte(t, byte)) return 2;
      work.push_back(byte);
    }
    size_t dataEnd = work.size();
    work.resize(dataEnd + 1 + (bgn > 0 ? 1 : 0));
    ChecksumAndEnd(work, dataEnd, bgn);
    body = std::move(work);
    return 0;
  }

  size_t pos = 0;
  int index = FindParam(body, pos);
  if (index < 0) return 1;
  const TSysExParam& param = *params_.Object(index);
  const TSysExType& type = *param.Type;
  const int32_t bgn = param.Model->BgnCheckSum;
  const size_t checksumBytes = bgn > 0 ? 1 : 0;
  if (type.Kind == kSysExText) {
    for (char c : text) {
      auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u > 0x7F) return 4;
    }
    size_t copied = std::min(static_cast<size_t>(type.Range->Size), text.size());
    body.resize(pos + copied + 1 + checksumBytes);
    std::memcpy(body.data() + pos, text.data(), copied);
    ChecksumAndEnd(body, pos + copied, bgn);
    return 0;
  }
  size_t expected = ExpectedLength(param, pos);
  if (body.size() != expected) body.resize(expected, 0);
  int32_t current = DecodeValue(type, body, pos);
  std::string valueText(text);  // the conversions want a terminated string
  EncodeValue(type, body, pos, type.SetText(valueText.c_str(), current));
  ChecksumAndEnd(body, pos + static_cast<size_t>(type.Range->Size), bgn);
  return 0;
}

void TSysExParamNodes::SetExtras(std::span<uint8_t> body, const std::array<int, 3>& values) {
  TSysExInfo info = Analyse(body);
  for (int i = 0; i < info.ExtraCount; ++i) {
    const TSysExExtra& field = *info.Extras[static_cast<size_t>(i)];
    if (field.Pos >= body.size()) continue;
    int v = values[static_cast<size_t>(i)];
    if (field.Mask == 0x0F) v <<= 4;
    // Only the variable bits are set, so a value out of range cannot change
    // the fixed part of the byte or make it a status byte.
    v &= ~field.Mask & 0x7F;
    body[field.Pos] = static_cast<uint8_t>(v | (body[field.Pos] & field.Mask));
  }
}

std::vector<uint8_t> TSysExParamNodes::MakeDefault(std::string_view paramName) {
  int index = params_.IndexOf(paramName);
  if (index < 0) return {};
  const TSysExParam& param = *params_.Object(index);
  const TSysExType& type = *param.Type;
  const TSysExModel& model = *param.Model;

  std::vector<uint8_t> path;
  for (const TSysExNode* n = param.Node; n && n->Value != 0xF0; n = n->Parent) path.push_back(n->Value);
  std::reverse(path.begin(), path.end());

  const size_t size = static_cast<size_t>(type.Range->Size);
  std::vector<uint8_t> body(path.size() + size + 1 + (model.BgnCheckSum > 0 ? 1 : 0), 0);
  std::copy(path.begin(), path.end(), body.begin());
  if (type.Kind == kSysExText) {
    std::memcpy(body.data() + path.size(), "Text", std::min<size_t>(size, 4));
  } else {
    EncodeValue(type, body, path.size(), param.Default);
  }
  ChecksumAndEnd(body, path.size() + size, model.BgnCheckSum);

  if (model.DefDevID <= 0x7F) {
    TSysExInfo info = Analyse(body);
    for (int i = 0; i < info.ExtraCount; ++i) {
      const TSysExExtra& field = *info.Extras[static_cast<size_t>(i)];
      if (field.Name != "Device ID" || field.Pos >= body.size()) continue;
      body[field.Pos] = static_cast<uint8_t>((body[field.Pos] & field.Mask) | (model.DefDevID & ~field.Mask & 0x7F));
    }
  }
  return body;
}

std::string TSysExParamNodes::DefaultHexText(std::string_view paramName) {
  std::vector<uint8_t> body = MakeDefault(paramName);
  return body.empty() ? std::string() : HexText(body);
}

std::string TSysExParamNodes::HexText(std::span<const uint8_t> body) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "F0";
  text.reserve(2 + body.size() * 3);
  for (uint8_t b : body) {
    text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

std::string TSysExParamNodes::ErrorText(int code) {
  switch (code) {
    case 1: return "SysExは F0 で始め、 F7 で終了しなければいけません！";
    case 2: return "各バイトは00～7Fの範囲内でなければいけません！";
    case 3: return "最大バイト長は512です!";
    case 4: return "表示できるのはASCII文字列のみです!";
    default: return "";
  }
}

std::vector<std::string> TSysExParamNodes::GetGroupNames() const { return groups_.Names(); }

std::vector<std::string> TSysExParamNodes::GetParamNames(std::string_view groupPrefix) const {
  std::vector<std::string> names;
  for (int i = 0; i < params_.Count(); ++i) {
    const std::string& group = groups_.Name(params_.Object(i)->GroupIndex);
    if (groupPrefix.empty() || group.compare(0, groupPrefix.size(), groupPrefix) == 0) names.push_back(params_.Name(i));
  }
  return names;
}

std::vector<TSysExTableEntry> TSysExParamNodes::GetTableEntries(std::span<const uint8_t> body) {
  size_t pos = 0;
  int index = FindParam(body, pos);
  if (index < 0 || !params_.Object(index)->Type->Table) return {};
  return *params_.Object(index)->Type->Table;
}

}  // namespace melko
