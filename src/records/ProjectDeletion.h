#pragma once

#include "ProjectTaskObserver.h"

#include <QString>

class ParamSet;

/// Wait between two removals: the operator watches the files go one by one.
constexpr int kDeletionPaceMs = 1000;

/// Deletes the project folder of project (name without its extension) below
/// the data root of params, after the operator's confirmation. It never
/// leaves the data root: a linked project folder loses only its link; a real
/// one must be a direct child of the data root, and only the files and links
/// directly in it are removed, never a sub-folder's content (a sub-folder
/// keeps the folder and the deletion fails). The entries are listed with "."
/// and "..", one pace each, as the operator has always seen it.
ProjectTaskResult DeleteProject(const ParamSet &params, const QString &project, ProjectTaskObserver &observer);
