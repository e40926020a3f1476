#include "pane/controlbox.h"
#include <utility>
#include <dzintslider.h>
#include "pane/slidersets.h"

QStringList typeSliderNames(int type)
{
    QStringList names;
    for (const verdix::SliderDef& d : verdix::layoutFor(type).sliders) names << QString::fromLatin1(d.name);
    return names;
}

DzIntSlider* ControlBox::slider(const QString& name, int occurrence) const
{
    const QStringList names = typeSliderNames(type);
    int seen = 0;
    for (int k = 0; k < names.size() && size_t(k) < sliders.size(); ++k) {
        if (names.at(k) != name) continue;
        if (seen++ == occurrence) return sliders[size_t(k)];
    }
    return nullptr;
}

QComboBox* ControlBox::combo(char letter) const
{
    const int k = letter - 'A';
    return (k >= 0 && k < kComboSlots) ? combos[size_t(k)] : nullptr;
}

void ControlBox::setCombo(char letter, QComboBox* c)
{
    const int k = letter - 'A';
    if (k >= 0 && k < kComboSlots) combos[size_t(k)] = c;
}

void ControlBox::releaseBuffers()
{
    std::vector<std::vector<float>>().swap(heightFields);
    for (HeightMapBytes& m : heightMaps) m = HeightMapBytes();
    std::vector<float>().swap(userMap);
    userMapBytes = 0;
    mapSize = 0;
    std::vector<float>().swap(heightField);
    heightFieldLength = 0;
    std::vector<float>().swap(groundHeights);
}

int ControlBoxTable::append(int type)
{
    if (isFull()) return -1;
    const int i = m_count++;
    m_boxes[size_t(i)] = ControlBox();
    m_boxes[size_t(i)].type = type;
    if (const BoxTypeEntry* t = typeInfo(type))
        if (t->makeGenerator) m_boxes[size_t(i)].generator = t->makeGenerator();
    return i;
}

void ControlBoxTable::removeAt(int k)
{
    if (k < 0 || k >= m_count) return;
    for (int j = k; j + 1 < m_count; ++j) m_boxes[size_t(j)] = std::move(m_boxes[size_t(j + 1)]);
    --m_count;
    m_boxes[size_t(m_count)] = ControlBox();
    for (int j = 0; j < m_count; ++j) {
        int& land = m_boxes[size_t(j)].landscapeIndex;
        if (land > k) --land;
        else if (land == k) land = 0;
    }
}

void ControlBoxTable::clear()
{
    for (int j = 0; j < m_count; ++j) m_boxes[size_t(j)] = ControlBox();
    m_count = 0;
}
