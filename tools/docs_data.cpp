// The numbers behind the user guide's pictures, computed by the built DLL itself
// under Wine, written as JSON for tools/pictures.py:
//   curves     the four curve commands through the same four points
//   blends     Lerp, NLerp and SLerp between two directions
//   frustum    the planes of a perspective view, seen from above, and spheres
//              coloured by Frustum_TestSphere's answer
#include <cstdio>
#include <string>
#include <vector>

#include "harness/plugin.h"

namespace {

const kvt::Plugin* plugin = nullptr;

void command(const char* keyword, const char* letters, std::initializer_list<kvt::Arg> args) {
  plugin->command(keyword, letters, args);
}

std::string point(const float* p) { return "[" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + "]"; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kv_docs_data.exe OUT.json\n");
    return 2;
  }
  kvt::Plugin dll("Kestrom_Vandu.dll");
  plugin = &dll;
  std::string json = "{\n";

  // Curves through p0 .. p3; Hermite from p1 to p2 with the tangents p1 − p0 and p3 − p2.
  float p[4][2] = {{0, 0}, {1, 2}, {3, 2.5f}, {4, 0.5f}}, ta[2], tb[2], out[2];
  command("pVec2_Sub", "LLL", {ta, p[1], p[0]});
  command("pVec2_Sub", "LLL", {tb, p[3], p[2]});
  json += "  \"points\": [" + point(p[0]) + ", " + point(p[1]) + ", " + point(p[2]) + ", " + point(p[3]) + "],\n";
  json += "  \"curves\": {\n";
  const char* curves[] = {"pVec2_CatmullRom", "pVec2_Hermite", "pVec2_Cubic", "pVec2_Bezier"};
  for (int c = 0; c < 4; ++c) {
    json += std::string("    \"") + curves[c] + "\": [";
    for (int i = 0; i <= 64; ++i) {
      const float s = float(i) / 64;
      if (c == 1) {
        command(curves[c], "LLLLLF", {out, p[1], ta, p[2], tb, s});
      } else {
        command(curves[c], "LLLLLF", {out, p[0], p[1], p[2], p[3], s});
      }
      json += (i ? ", " : "") + point(out);
    }
    json += c < 3 ? "],\n" : "]\n";
  }
  json += "  },\n";

  // Two directions 80 degrees apart, of lengths 1 and 0.6.
  float a[2] = {1, 0}, b[2] = {0.10418890f, 0.59088465f};
  json += "  \"from\": " + point(a) + ", \"to\": " + point(b) + ",\n  \"blends\": {\n";
  const char* blends[] = {"pVec2_Lerp", "pVec2_NLerp", "pVec2_SLerp"};
  for (int k = 0; k < 3; ++k) {
    json += std::string("    \"") + blends[k] + "\": [";
    for (int i = 0; i <= 8; ++i) {
      command(blends[k], "LLLF", {out, a, b, float(i) / 8});
      json += (i ? ", " : "") + point(out);
    }
    json += k < 2 ? "],\n" : "]\n";
  }
  json += "  },\n";

  // A left-handed perspective view, 70 degrees wide, near 1, far 20, seen from
  // above: the planes' (a, c, d), and spheres on a grid at y = 0.
  float m[16], planes[24];
  command("pMat4_PerspectiveFOVLH", "LFFFF", {m, 1.0f, 20.0f, 70.0f, 1.0f});
  command("pFrustum_ExtractVP", "LL", {planes, m});
  json += "  \"planes\": [";
  for (int i = 0; i < 6; ++i) {
    json += (i ? ", " : "") + std::string("[") + std::to_string(planes[4 * i]) + ", " + std::to_string(planes[4 * i + 1]) +
            ", " + std::to_string(planes[4 * i + 2]) + ", " + std::to_string(planes[4 * i + 3]) + "]";
  }
  json += "],\n  \"spheres\": [";
  bool first = true;
  for (int zi = 0; zi <= 11; ++zi) {
    for (int xi = -8; xi <= 8; ++xi) {
      const float x = 1.5f * float(xi), z = -1.0f + 2.0f * float(zi), r = 0.6f;
      const std::uint32_t test = plugin->command("pFrustum_TestSphere", "LLFFFF", {planes, x, 0.0f, z, r});
      const std::uint32_t cut = plugin->command("pFrustum_IntersectSphere", "LLFFFF", {planes, x, 0.0f, z, r});
      json += std::string(first ? "" : ", ") + "[" + std::to_string(x) + ", " + std::to_string(z) + ", " +
              std::to_string(r) + ", " + std::to_string(test) + ", " + std::to_string(std::int32_t(cut)) + "]";
      first = false;
    }
  }
  json += "]\n}\n";
  FILE* f = std::fopen(argv[1], "wb");
  if (!f) return 1;
  std::fputs(json.c_str(), f);
  std::fclose(f);
  return 0;
}
