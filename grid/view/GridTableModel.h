#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "grid/ResultGridModel.h"

namespace kelvaro {

// The Qt face of one ResultGridModel: Qt row r is grid row r + 1 (the grid's header
// row 0 is the horizontal header), columns are the same. It holds no texts of its own;
// every change the core model reports is passed on as the matching Qt signal, so the
// view only ever reads the rows it shows.
class GridTableModel : public QAbstractTableModel, public ResultGridListener {
  Q_OBJECT

 public:
  GridTableModel(ResultGridModel& grid, QObject* parent = nullptr);
  ~GridTableModel() override;

  ResultGridModel& Grid() { return grid_; }

  // Called for column width changes and for painting suspended or resumed.
  void SetColumnWidthHandler(std::function<void(int col)> handler);
  void SetUpdatesHandler(std::function<void(bool suspended)> handler);
  // Called after a reset (column count or every row may have changed).
  void SetResetHandler(std::function<void()> handler);
  // Read-only: no cell can be edited (selection, check boxes and links still work).
  void SetReadOnly(bool on) { read_only_ = on; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // Display: the stored text; edit and accessible text: what the in-place editor shows
  // (markup stripped); accessible description: a count link's public results page; check
  // state for cells with a check box.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Writes an edited text back only when it differs from the stored one.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 private:
  // ResultGridListener
  void CellChanged(int col, int row) override;
  void BeforeRowsInserted(int first, int last) override;
  void AfterRowsInserted() override;
  void BeforeRowsRemoved(int first, int last) override;
  void AfterRowsRemoved() override;
  void BeforeRowsReordered() override;
  void AfterRowsReordered(const std::vector<int>& new_row) override;
  void ColumnCellsChanged(int col, int first, int last) override;
  void BeforeReset() override;
  void AfterReset() override;
  void ColumnWidthChanged(int col) override;
  void UpdatesSuspended(bool suspended) override;

  ResultGridModel& grid_;
  std::function<void(int)> column_width_handler_;
  std::function<void(bool)> updates_handler_;
  std::function<void()> reset_handler_;
  bool inserting_ = false;
  bool removing_ = false;
  bool removing_header_ = false;
  bool resetting_ = false;
  bool read_only_ = false;
};

}  // namespace kelvaro
