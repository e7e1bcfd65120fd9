// Meshes: the triangles of a Vec3 array (three corners a triangle) kept with a
// bounding volume hierarchy over them, so that a query visits the few triangles
// near it and answers exactly what the same query over every triangle answers.
//
// A mesh is one block of the private heap, named by its first byte (the Mesh
// header), found through the meshes' store. Its triangles are reordered so that
// each leaf's are together (`corners`, nine floats a triangle, by position), each
// with its index in the array it was made from (`index`). Triangles with a corner
// that is not finite have no box: they sit after the hierarchy's and, with any
// that lost a finite corner at a refit, in the side list that every query tests
// in full.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dx/types.h"
#include "frame/abi.h"

namespace kv::geometry {

// A node of the hierarchy: its box (float corners holding every corner below it),
// and either its two children (count 0: nodes `first` and `first` + 1) or its
// triangles (count 1 to kLeafTriangles from position `first`).
struct Node {
  float lo[3];
  std::uint32_t first;
  float hi[3];
  std::uint32_t count;
};
static_assert(sizeof(Node) == 32, "a node is 32 bytes");

inline constexpr int kLeafTriangles = 8;  // a leaf holds at most this many
inline constexpr std::uint32_t kPad = 1;              // node 1 is no node: it puts the pairs of children on even places
inline constexpr std::uint32_t kNoNeighbour = 0xFFFFFFFFu;  // an edge no one other triangle shares
inline constexpr int kMaxDepth = 60;      // the build keeps the hierarchy this shallow

struct Mesh {
  std::uint32_t triangles;  // all of them
  std::uint32_t in_tree;    // positions 0 to in_tree − 1 are in the hierarchy
  std::uint32_t nodes;
  std::uint32_t side_count;  // positions tested by every query in full
  std::uint32_t* side;       // their list (room for every triangle)
  Node* node;                // node 0 is the root (none when in_tree is 0)
  float* corners;            // nine floats a triangle, by position
  std::uint32_t* index;      // the triangle's number in the array, by position
  std::uint32_t* neighbour;  // by position and edge k (corners k, k + 1): the position sharing it × 2, + 1 where
                             // the two wind alike; kNoNeighbour where no one other triangle shares it
  std::uint8_t* smooth;      // by position: bit k, edge k inside a surface; bit 3 + k, corner k
  std::uint8_t* scratch;     // a byte a triangle for the walks around corners
  dx::Vec3 lo, hi;           // the box of the corners, as Vec3_ArrayAABB gives it
  double centre[3], reach;   // the middle of the finite corners' box, and the largest distance from it along an axis

  Handle corner(std::uint32_t position, int k) const { return Handle(corners + 9 * position + 3 * k); }
};

// The live mesh a handle names, or null.
const Mesh* mesh_at(Handle handle);

// A new mesh of the triangles of a Vec3 array; 0 for anything else, for no whole
// triangle, or without memory (everything left as it was).
Handle mesh_make(Handle corners);
// New corner positions for the same triangles, the boxes and the surface's edges
// fitted to them; false (nothing changed) when the array is not a Vec3 array of as
// many whole triangles. It needs no memory beyond the mesh's own.
bool mesh_refit(Handle mesh, Handle corners);
void mesh_delete(Handle mesh);

// The edges the triangles share (at make: false without memory for the work) and
// which edges and corners lie inside a surface (at make and refit).
// link_edges works in `room` of edge_table_bytes(m.in_tree) when given, else in
// memory of its own.
std::size_t edge_table_bytes(std::uint32_t triangles);
bool link_edges(Mesh& m, void* room);
void smooth_edges(Mesh& m);

}  // namespace kv::geometry
