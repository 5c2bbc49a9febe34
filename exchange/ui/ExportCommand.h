#pragma once

class QWidget;

namespace data {
class Dataset;
}

namespace exchange {

// File > Export: asks for a file and a format and writes the contacts query holds, as the grid shows them.
void ExportClick(QWidget* parent, data::Dataset& query);

} // namespace exchange
