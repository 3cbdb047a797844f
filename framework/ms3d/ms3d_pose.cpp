// The neutral pose: each joint's matrices from its angles and position and
// its parent's, and the vertices moved into their joints' spaces so that
// drawing through the final matrices puts them back where the file has them.
#include <cmath>
#include <unordered_map>

#include "framework/ms3d/ms3d_internal.h"
#include "framework/utilities/utilities.h"

namespace {

constexpr int32_t kRoot = -1;

// R = Rz(z) * Ry(y) * Rx(x) with the position as translation, column-major.
Ms3dMatrix Relative(const Ms3dVector& angles, const Ms3dVector& position) {
  const double sx = std::sin(angles[0]), cx = std::cos(angles[0]);
  const double sy = std::sin(angles[1]), cy = std::cos(angles[1]);
  const double sz = std::sin(angles[2]), cz = std::cos(angles[2]);
  const double rows[3][3] = {{cz * cy, cz * sy * sx - sz * cx, cz * sy * cx + sz * sx},
                             {sz * cy, sz * sy * sx + cz * cx, sz * sy * cx - cz * sx},
                             {-sy, cy * sx, cy * cx}};
  Ms3dMatrix matrix{};
  for (int32_t column = 0; column < 3; ++column) {
    for (int32_t row = 0; row < 3; ++row) {
      matrix[column * 4 + row] = static_cast<float>(rows[row][column]);
    }
    matrix[12 + column] = position[column];
  }
  matrix[15] = 1.0f;
  return matrix;
}

Ms3dMatrix Multiply(const Ms3dMatrix& a, const Ms3dMatrix& b) {
  Ms3dMatrix product{};
  for (int32_t column = 0; column < 4; ++column) {
    for (int32_t row = 0; row < 4; ++row) {
      double sum = 0.0;
      for (int32_t k = 0; k < 4; ++k) {
        sum += static_cast<double>(a[k * 4 + row]) * b[column * 4 + k];
      }
      product[column * 4 + row] = static_cast<float>(sum);
    }
  }
  return product;
}

// The transposed rotation of the matrix applied to the vector: the inverse
// rotation, since the rotation part is orthonormal.
Ms3dVector RotateBack(const Ms3dMatrix& matrix, const Ms3dVector& vector) {
  Ms3dVector result{};
  for (int32_t axis = 0; axis < 3; ++axis) {
    double sum = 0.0;
    for (int32_t row = 0; row < 3; ++row) {
      sum += static_cast<double>(matrix[axis * 4 + row]) * vector[row];
    }
    result[axis] = static_cast<float>(sum);
  }
  return result;
}

// Each joint's parent: the first joint whose name matches its parent name
// without regard to case; an empty parent name, or one naming no joint, is a root.
void FindParents(std::vector<Ms3dJoint>& joints) {
  std::unordered_map<std::string, int32_t> byName;
  for (size_t i = 0; i < joints.size(); ++i) {
    byName.emplace(UtilitiesUpperCase(joints[i].name), static_cast<int32_t>(i));
  }
  for (Ms3dJoint& joint : joints) {
    const auto found =
        joint.parentName.empty() ? byName.end() : byName.find(UtilitiesUpperCase(joint.parentName));
    joint.parent = found == byName.end() ? kRoot : found->second;
  }
}

// Joints on a cycle of parents (a damaged file) become roots, so every
// chain of parents ends. Joints hanging below a cycle keep their parents.
void BreakCycles(std::vector<Ms3dJoint>& joints) {
  enum : uint8_t { kUnseen, kOnPath, kDone };
  std::vector<uint8_t> state(joints.size(), kUnseen);
  std::vector<int32_t> path;
  for (size_t start = 0; start < joints.size(); ++start) {
    path.clear();
    int32_t joint = static_cast<int32_t>(start);
    while (joint != kRoot && state[joint] == kUnseen) {
      state[joint] = kOnPath;
      path.push_back(joint);
      joint = joints[joint].parent;
    }
    if (joint != kRoot && state[joint] == kOnPath) {
      // The path from `joint` onwards is the cycle.
      for (auto it = path.rbegin(); it != path.rend(); ++it) {
        const int32_t member = *it;
        joints[member].parent = kRoot;
        if (member == joint) {
          break;
        }
      }
    }
    for (int32_t member : path) {
      state[member] = kDone;
    }
  }
}

// Absolute = parent's absolute * relative, parents first.
void BuildMatrices(std::vector<Ms3dJoint>& joints) {
  std::vector<bool> built(joints.size(), false);
  std::vector<int32_t> chain;
  for (size_t i = 0; i < joints.size(); ++i) {
    chain.clear();
    for (int32_t joint = static_cast<int32_t>(i); joint != kRoot && !built[joint];
         joint = joints[joint].parent) {
      chain.push_back(joint);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      Ms3dJoint& joint = joints[*it];
      joint.relative = Relative(joint.rotation, joint.position);
      joint.absolute = joint.parent == kRoot
                           ? joint.relative
                           : Multiply(joints[joint.parent].absolute, joint.relative);
      joint.final = joint.absolute;
      built[*it] = true;
    }
  }
}

}  // namespace

void Ms3dNeutralPose(Ms3dMesh& mesh) {
  if (mesh.joints.empty()) {
    return;  // no vertex can name a joint
  }
  FindParents(mesh.joints);
  BreakCycles(mesh.joints);
  BuildMatrices(mesh.joints);
  for (Ms3dVertex& vertex : mesh.vertices) {
    if (vertex.joint == kMs3dNone) {
      continue;
    }
    const Ms3dMatrix& final = mesh.joints[vertex.joint].final;
    for (int32_t axis = 0; axis < 3; ++axis) {
      vertex.position[axis] -= final[12 + axis];
    }
    vertex.position = RotateBack(final, vertex.position);
  }
  for (Ms3dTriangle& triangle : mesh.triangles) {
    for (size_t corner = 0; corner < 3; ++corner) {
      const uint8_t joint = mesh.vertices[triangle.vertices[corner]].joint;
      if (joint != kMs3dNone) {
        triangle.normals[corner] = RotateBack(mesh.joints[joint].final, triangle.normals[corner]);
      }
    }
  }
}
