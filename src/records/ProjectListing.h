#pragma once

#include <QString>
#include <QStringList>

class ParamSet;

/// What a listing holds: project folders or record files.
enum class EntryKind { Folders, Files };

/// Names (with extension) of the entries directly in folder whose names end
/// in "." + extension, in exactly that case, and have something before it:
/// folders, or regular files, symbolic links followed; hidden entries are left
/// out. Sorted by name, or by modification time, newest first, equal times by
/// name. Empty when folder is empty or cannot be read.
QStringList ListEntries(const QString &folder, const QString &extension, EntryKind kind, bool byName);

/// name without its trailing "." + extension (unchanged when it has none).
QString StripExtension(const QString &name, const QString &extension);

/// The day the file or folder at path was created, as "yyyy/MM/dd"; where the
/// file system keeps no creation time, the day its entry last changed; empty
/// when neither is known.
QString EntryDateText(const QString &path);

/// Folder of project below the data root of params; empty when project is
/// empty or is not a plain name (it may come from a record header or the
/// settings file), so that no listing or removal ever leaves the data root.
QString ProjectFolderOf(const ParamSet &params, const QString &project);
