// Reads the resources back out of the built colorclicker.exe and checks
// what a Windows user relies on: the application icon in all its sizes, the
// version 1.0.0.0, and the manifest (common controls 6, per-monitor DPI
// awareness, asInvoker). Runs on the build host; needs nothing but the file.
//   pe_resources_check colorclicker.exe
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<unsigned char>;

struct Reader {
  const Bytes& data;
  std::uint32_t U16(std::size_t at) const { return Need(at, 2), data[at] | data[at + 1] << 8; }
  std::uint32_t U32(std::size_t at) const { return Need(at, 4), U16(at) | U16(at + 2) << 16; }
  void Need(std::size_t at, std::size_t n) const {
    if (at + n > data.size() || at + n < at) throw std::runtime_error("truncated file");
  }
};

// A resource's identity: a number, or a name when `name` is non-empty.
struct ResourceId {
  std::uint32_t id = 0;
  std::string name;
  bool operator<(const ResourceId& o) const { return name != o.name ? name < o.name : id < o.id; }
};

// Resource type -> id -> data of its first language.
using Resources = std::map<std::uint32_t, std::map<ResourceId, Bytes>>;

Resources ReadResources(const Bytes& file) {
  const Reader r{file};
  if (r.U16(0) != 0x5A4D) throw std::runtime_error("no MZ header");
  const std::size_t pe = r.U32(0x3C);
  if (r.U32(pe) != 0x00004550) throw std::runtime_error("no PE signature");
  const std::size_t sections = r.U16(pe + 6);
  const std::size_t optional = pe + 24;
  const std::size_t optionalSize = r.U16(pe + 20);
  const std::uint32_t magic = r.U16(optional);
  const std::size_t directories = optional + (magic == 0x20B ? 112 : 96);
  const std::uint32_t resourceRva = r.U32(directories + 2 * 8);
  if (resourceRva == 0) throw std::runtime_error("no resource section");

  auto fileOffset = [&](std::uint32_t rva) -> std::size_t {
    for (std::size_t i = 0; i < sections; ++i) {
      const std::size_t s = optional + optionalSize + i * 40;
      const std::uint32_t va = r.U32(s + 12), rawSize = r.U32(s + 16), raw = r.U32(s + 20);
      if (rva >= va && rva < va + rawSize) return raw + (rva - va);
    }
    throw std::runtime_error("address outside every section");
  };
  const std::size_t base = fileOffset(resourceRva);

  auto entries = [&](std::size_t dir) {
    std::vector<std::pair<ResourceId, std::uint32_t>> out;
    const std::size_t count = r.U16(dir + 12) + r.U16(dir + 14);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t e = dir + 16 + i * 8;
      const std::uint32_t nameField = r.U32(e);
      ResourceId id;
      if (nameField & 0x80000000u) {
        const std::size_t s = base + (nameField & 0x7FFFFFFFu);
        for (std::size_t k = 0, n = r.U16(s); k < n; ++k) id.name += static_cast<char>(r.U16(s + 2 + 2 * k));
      } else {
        id.id = nameField;
      }
      out.emplace_back(id, r.U32(e + 4));
    }
    return out;
  };
  auto subdirectory = [&](std::uint32_t offset) {
    if (!(offset & 0x80000000u)) throw std::runtime_error("resource tree too shallow");
    return base + (offset & 0x7FFFFFFFu);
  };

  Resources resources;
  for (const auto& [type, typeOffset] : entries(base)) {
    for (const auto& [id, idOffset] : entries(subdirectory(typeOffset))) {
      const auto languages = entries(subdirectory(idOffset));
      if (languages.empty()) continue;
      const std::size_t entry = base + (languages.front().second & 0x7FFFFFFFu);
      const std::size_t at = fileOffset(r.U32(entry)), size = r.U32(entry + 4);
      r.Need(at, size);
      resources[type.id][id] = Bytes(file.begin() + static_cast<std::ptrdiff_t>(at),
                                     file.begin() + static_cast<std::ptrdiff_t>(at + size));
    }
  }
  return resources;
}

constexpr std::uint32_t kIcon = 3, kGroupIcon = 14, kVersion = 16, kManifest = 24;

int failures = 0, passes = 0;
void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  (ok ? passes : failures)++;
}

void CheckIcon(const Resources& res) {
  const auto groups = res.find(kGroupIcon);
  const Bytes* group = nullptr;
  if (groups != res.end()) {
    const auto it = groups->second.find(ResourceId{0, "MAINICON"});
    if (it != groups->second.end()) group = &it->second;
  }
  Check(group != nullptr, "icon group MAINICON present");
  if (!group) return;
  const Reader g{*group};
  const std::size_t count = g.U16(4);
  std::set<unsigned> sizes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t e = 6 + i * 14;
    const unsigned size = (*group)[e] == 0 ? 256 : (*group)[e];
    const unsigned bits = g.U16(e + 6);
    const std::uint32_t bytes = g.U32(e + 8);
    const ResourceId imageId{g.U16(e + 12), ""};
    sizes.insert(size);
    const std::string name = "icon image " + std::to_string(size) + " px";
    Check(bits == 32, name + " is 32-bit");

    const Bytes* image = nullptr;
    if (const auto icons = res.find(kIcon); icons != res.end())
      if (const auto it = icons->second.find(imageId); it != icons->second.end()) image = &it->second;
    Check(image && image->size() == bytes, name + " present with its listed size");
    if (!image || image->size() < 40) continue;
    const Reader im{*image};
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const bool png = image->size() >= 33 && std::equal(kPng, kPng + 8, image->begin());
    if (size == 256) {
      // IHDR: big-endian width and height, bit depth 8, colour type 6 (RGBA).
      auto be32 = [&](std::size_t at) {
        return std::uint32_t{(*image)[at]} << 24 | (*image)[at + 1] << 16 | (*image)[at + 2] << 8 | (*image)[at + 3];
      };
      Check(png && be32(16) == 256 && be32(20) == 256 && (*image)[24] == 8 && (*image)[25] == 6,
            name + " stored as a 256x256 RGBA PNG");
    } else {
      // BITMAPINFOHEADER; the height counts the colour and the mask halves.
      Check(!png && im.U32(0) == 40 && im.U32(4) == size && im.U32(8) == 2 * size && im.U16(14) == 32,
            name + " stored as a 32-bit bitmap of that size");
    }
  }
  Check(sizes == std::set<unsigned>{16, 24, 32, 48, 256} && count == 5,
        "icon has exactly the sizes 16, 24, 32, 48 and 256");
}

// VS_VERSIONINFO is a tree of blocks: length, value length, type, UTF-16
// key, value, children, each part 32-bit aligned.
void WalkVersionBlock(const Bytes& data, std::size_t at, std::size_t end, std::map<std::string, std::string>& strings,
                      std::optional<std::size_t>& fixedInfo) {
  const Reader r{data};
  while (at + 6 <= end) {
    const std::size_t length = r.U16(at), valueLength = r.U16(at + 2), type = r.U16(at + 4);
    if (length == 0) break;
    const std::size_t blockEnd = std::min(at + length, end);
    std::string key;
    std::size_t p = at + 6;
    for (; p + 1 < blockEnd && r.U16(p) != 0; p += 2) key += static_cast<char>(r.U16(p));
    p = (p + 2 + 3) & ~std::size_t{3};
    const std::size_t valueBytes = type == 1 ? valueLength * 2 : valueLength;
    if (key == "VS_VERSION_INFO") fixedInfo = p;
    if (type == 1 && valueLength > 0) {
      std::string value;
      for (std::size_t q = p; q + 1 < p + valueBytes && r.U16(q) != 0; q += 2) value += static_cast<char>(r.U16(q));
      strings[key] = value;
    }
    const std::size_t children = (p + valueBytes + 3) & ~std::size_t{3};
    if (children < blockEnd) WalkVersionBlock(data, children, blockEnd, strings, fixedInfo);
    at = (blockEnd + 3) & ~std::size_t{3};
  }
}

void CheckVersion(const Resources& res) {
  const auto versions = res.find(kVersion);
  Check(versions != res.end() && !versions->second.empty(), "version information present");
  if (versions == res.end() || versions->second.empty()) return;
  const Bytes& data = versions->second.begin()->second;
  std::map<std::string, std::string> strings;
  std::optional<std::size_t> fixed;
  WalkVersionBlock(data, 0, data.size(), strings, fixed);
  const Reader r{data};
  const bool signature = fixed && r.U32(*fixed) == 0xFEEF04BDu;
  Check(signature, "fixed version information present");
  if (signature) {
    Check(r.U32(*fixed + 8) == 0x00010000u && r.U32(*fixed + 12) == 0, "file version 1.0.0.0");
    Check(r.U32(*fixed + 16) == 0x00010000u && r.U32(*fixed + 20) == 0, "product version 1.0.0.0");
  }
  Check(strings["FileVersion"] == "1.0.0.0", "FileVersion string 1.0.0.0 (got \"" + strings["FileVersion"] + "\")");
  Check(strings["ProductVersion"] == "1.0.0.0",
        "ProductVersion string 1.0.0.0 (got \"" + strings["ProductVersion"] + "\")");
}

// Some element named `tag` carries every one of `attributes` (values are regexes).
bool ElementHas(const std::string& xml, const std::string& tag, const std::map<std::string, std::string>& attributes) {
  const std::regex element("<(?:\\w+:)?" + tag + "\\b([^>]*)>");
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), element); it != std::sregex_iterator(); ++it) {
    const std::string attrs = (*it)[1];
    bool all = true;
    for (const auto& [name, value] : attributes)
      all = all && std::regex_search(attrs, std::regex("\\b" + name + "\\s*=\\s*[\"']" + value + "[\"']"));
    if (all) return true;
  }
  return false;
}

std::string ElementText(const std::string& xml, const std::string& tag) {
  std::smatch m;
  if (std::regex_search(xml, m, std::regex("<(?:\\w+:)?" + tag + "\\b[^>]*>([^<]*)</"))) return m[1];
  return "(none)";
}

void CheckManifest(const Resources& res) {
  const auto manifests = res.find(kManifest);
  const Bytes* data = nullptr;
  if (manifests != res.end())
    if (const auto it = manifests->second.find(ResourceId{1, ""}); it != manifests->second.end()) data = &it->second;
  Check(data != nullptr, "application manifest present (RT_MANIFEST 1)");
  Check(manifests != res.end() && manifests->second.size() == 1, "exactly one manifest");
  if (!data) return;
  const std::string xml(data->begin(), data->end());
  Check(ElementHas(xml, "assemblyIdentity", {{"name", "Microsoft\\.Windows\\.Common-Controls"}, {"version", "6\\.0\\.0\\.0"}}),
        "manifest asks for common controls 6.0.0.0");
  const std::string dpiAware = ElementText(xml, "dpiAware");
  Check(dpiAware == "True/PM", "dpiAware is True/PM (got " + dpiAware + ")");
  const std::string dpiAwareness = ElementText(xml, "dpiAwareness");
  Check(dpiAwareness.rfind("PerMonitorV2", 0) == 0, "dpiAwareness starts with PerMonitorV2 (got " + dpiAwareness + ")");
  Check(ElementHas(xml, "requestedExecutionLevel", {{"level", "asInvoker"}, {"uiAccess", "false"}}),
        "manifest runs asInvoker with uiAccess false");
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s colorclicker.exe\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  try {
    const Resources res = ReadResources(file);
    CheckIcon(res);
    CheckVersion(res);
    CheckManifest(res);
  } catch (const std::exception& e) {
    std::printf("FAILED: %s: %s\n", argv[1], e.what());
    ++failures;
  }
  std::printf("%d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}
