#pragma once
// What a control box is: its type, its widgets and the data the generators keep for it.
// Boxes live in one fixed table of records indexed by box index; deleting a box moves
// every later record down, so whatever a subsystem adds to the record moves with its box.
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>
#include <atomic>
#include <vector>
#include "pane/boxregistry.h"
#include "pane/generatorbox.h"

class DzIntSlider;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;

// Slider display names of a type in slider order; empty until that type's slider set is
// defined. The box's sliders vector holds the sliders in exactly this order.
QStringList typeSliderNames(int type);

constexpr int kComboSlots = 8;  // combo letters 'A'..'H'

struct ControlBox
{
    int type = 0;

    // Header widgets, common to every type.
    QGroupBox* groupBox = nullptr;
    QLabel* titleLabel = nullptr;
    QGridLayout* grid = nullptr;
    QPushButton* imageButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* showHideButton = nullptr;
    QPushButton* saveMapButton = nullptr;
    std::vector<QGroupBox*> sections;  // hidden and shown together

    // The type's sliders in the order of typeSliderNames(type).
    std::vector<DzIntSlider*> sliders;
    std::array<QComboBox*, kComboSlots> combos{};  // indexed by letter - 'A'
    QPushButton* savePresetButton = nullptr;
    QPushButton* openFileButton = nullptr;
    QPushButton* resetButton = nullptr;  // rock: back to the start

    QImage icon;
    std::array<QImage, 5> images;  // height maps of a landscape, tree shape

    // Box index of the landscape the object stands on; 0 when none was chosen.
    int landscapeIndex = 0;

    // Data the generators keep between passes.
    std::vector<std::vector<float>> heightFields;  // landscape height fields
    std::vector<float> groundHeights;              // heights under the box's items
    int builderCount = 0;                          // e.g. part count of trees and flowers
    // Landscape: what the last topology build used, for the height query.
    int storedTiles = 0, storedDivisions = 0;
    float storedTileSize = 0.f;
    // Landscape: every slider's value as the last complete update used it.
    std::vector<int> appliedSliders;
    // Landscape: the byte grids of the five image slots (Land, River, Hill, Flat, Path),
    // each made from images[k] when that image was loaded; empty bytes = no height map.
    struct HeightMapBytes
    {
        int width = 0, height = 0;
        std::vector<unsigned char> bytes;
        std::vector<uint16_t> words;  // 16-bit images only: the heights at full precision
        bool present() const { return !bytes.empty(); }
    };
    std::array<HeightMapBytes, 5> heightMaps;
    // Landscape: the User slot's float file as read (padded to whole floats), its size in
    // bytes and its side length; mapSize 0 = no user map.
    std::vector<float> userMap;
    long long userMapBytes = 0;
    int mapSize = 0;
    // Landscape: the final height of every vertex after the last update, row by row.
    // Grown when too small, never shrunk; heightFieldLength is what the last update wrote.
    std::vector<float> heightField;
    int heightFieldLength = 0;

    // Height query: the terrain mesh cache. Background queries may fill it at the same
    // time (all with the same mesh), hence atomic; copies move with the box on compaction.
    struct TerrainMeshCache
    {
        std::atomic<class DzVertexMesh*> mesh{nullptr};
        TerrainMeshCache() = default;
        TerrainMeshCache(const TerrainMeshCache& o) : mesh(o.mesh.load()) {}
        TerrainMeshCache& operator=(const TerrainMeshCache& o)
        {
            mesh.store(o.mesh.load());
            return *this;
        }
    } terrainMesh;

    // The generator's snapshot and what its passes left; empty for types without one.
    GeneratorHolder generator;

    // The n-th slider of this box's type named name (0 = first occurrence), or null.
    DzIntSlider* slider(const QString& name, int occurrence = 0) const;
    QComboBox* combo(char letter) const;
    void setCombo(char letter, QComboBox* c);
    // Frees the buffers; the widgets belong to the pane's layouts.
    void releaseBuffers();
};

template <class G>
G* generatorOf(ControlBox& box)
{
    return box.type == G::kType ? static_cast<G*>(box.generator.get()) : nullptr;
}

template <class G>
const G* generatorOf(const ControlBox& box)
{
    return box.type == G::kType ? static_cast<const G*>(box.generator.get()) : nullptr;
}

// The pane's boxes, dense and in creation order.
class ControlBoxTable
{
public:
    int count() const { return m_count; }
    bool isFull() const { return m_count >= kMaxControlBoxes; }

    ControlBox& operator[](int i) { return m_boxes[size_t(i)]; }
    const ControlBox& operator[](int i) const { return m_boxes[size_t(i)]; }
    ControlBox* at(int i) { return (i >= 0 && i < m_count) ? &m_boxes[size_t(i)] : nullptr; }
    const ControlBox* at(int i) const { return (i >= 0 && i < m_count) ? &m_boxes[size_t(i)] : nullptr; }

    // Claims the next index; -1 when the table is full.
    int append(int type);

    // Takes index k back: later records move down one place and the count drops.
    // Landscape references are kept on the same landscape: indices above k drop by one,
    // references to k itself fall back to 0 ("none").
    void removeAt(int k);

    void clear();

private:
    std::array<ControlBox, kMaxControlBoxes> m_boxes{};
    int m_count = 0;
};
