// Triangle meshes for the tests, as a Vec3 array holds them: three corners a
// triangle, each corner a float point that every triangle sharing it repeats bit
// for bit. A closed sphere of stacks × slices (its poles fans, its seam shared),
// and an open grid turned off the axes; with their points, triangles and edges,
// so that tests can aim rays at every corner and edge.
#pragma once

#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace kv::test::meshes {

struct Mesh {
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<int, 3>> triangles;  // indexes into points

  // The triangles' corners, nine floats a triangle, for a Vec3 array.
  std::vector<float> corners() const {
    std::vector<float> c;
    for (const auto& t : triangles) {
      for (const int p : t) c.insert(c.end(), points[std::size_t(p)].begin(), points[std::size_t(p)].end());
    }
    return c;
  }
  // Each edge once, as the two points it joins (the lower index first).
  std::vector<std::pair<int, int>> edges() const {
    std::map<std::pair<int, int>, int> seen;
    for (const auto& t : triangles) {
      for (int k = 0; k < 3; ++k) seen[{std::min(t[k], t[(k + 1) % 3]), std::max(t[k], t[(k + 1) % 3])}] = 1;
    }
    std::vector<std::pair<int, int>> e;
    for (const auto& [edge, _] : seen) e.push_back(edge);
    return e;
  }
};

// The sphere of the given radius about (cx, cy, cz): stack i at the polar angle
// π·i/stacks, slice j at the angle 2π·j/slices about z, each point formed in
// double and rounded once.
inline Mesh sphere(int stacks, int slices, double radius, double cx, double cy, double cz) {
  const double pi = 3.14159265358979323846;
  Mesh m;
  const auto at = [&](int i, int j) -> int {
    if (i == 0) return 0;
    if (i == stacks) return 1 + (stacks - 1) * slices;
    return 1 + (i - 1) * slices + j % slices;
  };
  for (int i = 0; i <= stacks; ++i) {
    const double theta = pi * i / stacks;
    for (int j = 0; j < ((i == 0 || i == stacks) ? 1 : slices); ++j) {
      const double phi = 2 * pi * j / slices;
      m.points.push_back({float(cx + radius * std::sin(theta) * std::cos(phi)),
                          float(cy + radius * std::sin(theta) * std::sin(phi)), float(cz + radius * std::cos(theta))});
    }
  }
  for (int i = 0; i < stacks; ++i) {
    for (int j = 0; j < slices; ++j) {
      if (i > 0) m.triangles.push_back({at(i, j), at(i + 1, j), at(i, j + 1)});
      if (i < stacks - 1) m.triangles.push_back({at(i, j + 1), at(i + 1, j), at(i + 1, j + 1)});
    }
  }
  return m;
}

// An n × n grid of cells of the given size, two triangles a cell (the diagonal
// alternating), turned by the unit rotation rows r (each point p becomes
// origin + p·r) and rounded once.
inline Mesh grid(int n, double cell, const double (&r)[3][3], const double (&origin)[3]) {
  Mesh m;
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      const double p[3] = {i * cell, j * cell, 0};
      std::array<float, 3> q;
      for (int k = 0; k < 3; ++k) q[std::size_t(k)] = float(origin[k] + p[0] * r[0][k] + p[1] * r[1][k] + p[2] * r[2][k]);
      m.points.push_back(q);
    }
  }
  const auto at = [&](int i, int j) { return i * (n + 1) + j; };
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      if ((i + j) % 2) {
        m.triangles.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
        m.triangles.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
      } else {
        m.triangles.push_back({at(i, j), at(i + 1, j), at(i, j + 1)});
        m.triangles.push_back({at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
      }
    }
  }
  return m;
}

}  // namespace kv::test::meshes
