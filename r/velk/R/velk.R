# The field's genotype data frames in, VELK's tables out as tibbles. Each
# function writes the data frames as one two-column table, runs the import and
# the control files it writes in process, and reads the CSV tables back.


# ------------------------------------------------------------------ input

# The data frames as the import's table: names as character, allele codes as
# text; what the import cannot see in a CSV (factors, fractional alleles) is
# stopped here, with the data frame, column and row.
velk_table_columns <- function(frame, what, gen_start_col) {
  if (!is.data.frame(frame)) stop(sprintf("velk: `%s` is not a data frame", what), call. = FALSE)
  if (ncol(frame) < gen_start_col + 1)
    stop(sprintf("velk: `%s` has %d columns: gen_start_col = %d leaves no locus pair",
                 what, ncol(frame), gen_start_col), call. = FALSE)
  columns <- vector("list", ncol(frame))
  for (j in seq_along(frame)) {
    column <- frame[[j]]
    name <- names(frame)[j]
    if (is.factor(column))
      stop(sprintf(paste0("velk: column %d (%s) of `%s` is a factor: give names and alleles as ",
                          "character (read.csv(..., stringsAsFactors = FALSE), or as.character)"),
                   j, name, what), call. = FALSE)
    if (is.double(column)) {
      bad <- which(!is.na(column) & column != round(column))
      if (length(bad) > 0)
        stop(sprintf(paste0("velk: column %d (%s) of `%s`, row %d: %s is not a whole number; ",
                            "allele codes are whole numbers or text"),
                     j, name, what, bad[1], format(column[bad[1]], digits = 15)), call. = FALSE)
      column <- ifelse(is.na(column), NA_character_, format(column, scientific = FALSE, trim = TRUE))
    }
    if (!is.character(column) && !is.numeric(column) && !is.logical(column))
      stop(sprintf("velk: column %d (%s) of `%s` is of type %s: names and alleles are text or numbers",
                   j, name, what, typeof(column)), call. = FALSE)
    columns[[j]] <- as.character(column)
  }
  columns
}

velk_write_frame <- function(frame, what, gen_start_col, path) {
  columns <- velk_table_columns(frame, what, gen_start_col)
  if (!.velk_write_table(names(frame), columns, path))
    stop(sprintf("velk: could not write %s", path), call. = FALSE)
}

# ---------------------------------------------------------------- messages

# The engine's messages as R conditions: notes are dropped, warnings and errors
# of a finished run become warnings, a stopping message an error.
velk_signal <- function(messages, where) {
  if (is.null(messages) || nrow(messages) == 0) return(invisible())
  for (k in seq_len(nrow(messages))) {
    text <- sprintf("velk %s: message %d: %s", where, messages$number[k],
                    gsub("\n", " ", messages$text[k]))
    if (messages$severity[k] == 1) warning(text, call. = FALSE)
  }
  fatal <- which(messages$severity == 2)
  if (length(fatal) > 0)
    stop(sprintf("velk %s: message %d: %s", where, messages$number[fatal[1]],
                 gsub("\n", " ", messages$text[fatal[1]])), call. = FALSE)
}

# Runs the import of the data frames into a fresh folder: the import's outcome
# and the folder. A table row is data-frame row (line - 1).
velk_import_frames <- function(reference, mixture, gen_start_col, name = "velk") {
  dir <- tempfile("velk-")
  dir.create(dir)
  ref_file <- file.path(dir, "reference.csv")
  velk_write_frame(velk_typed(reference, "reference"), "reference", gen_start_col, ref_file)
  mix_file <- ""
  if (!is.null(mixture)) {
    mix_file <- file.path(dir, "mixture.csv")
    velk_write_frame(velk_typed(mixture, "mixture"), "mixture", gen_start_col, mix_file)
  }
  outcome <- .velk_import(ref_file, mix_file, "", file.path(dir, name), FALSE)
  messages <- outcome$messages
  said <- function(text) {
    if (grepl("line [0-9]", text))
      text <- paste0(text, " (line n of reference.csv or mixture.csv is row n - 1 of its data frame)")
    paste0("velk import: ", text)
  }
  for (k in which(messages$severity == 1)) warning(said(messages$text[k]), call. = FALSE)
  if (outcome$status != 0) {
    errors <- messages$text[messages$severity == 2]
    stop(said(if (length(errors)) errors[1] else "the data frames could not be imported"),
         call. = FALSE)
  }
  list(outcome = outcome, dir = dir, name = name)
}

# A data frame with its sample_type column, added when it has none.
velk_typed <- function(frame, type) {
  if (is.data.frame(frame) && !("sample_type" %in% names(frame)))
    frame <- cbind(data.frame(sample_type = rep(type, nrow(frame)), stringsAsFactors = FALSE), frame)
  frame
}

# -------------------------------------------------------------- control files

# Sets `keyword: value` in the section `section` of control-file lines (the
# value NULL removes it), adding it at the section's end when missing.
velk_set_keyword <- function(lines, section, keyword, value) {
  heads <- grep("^\\*", lines)
  start <- heads[tolower(trimws(sub("^\\*", "", lines[heads]))) == tolower(section)]
  if (length(start) == 0) stop(sprintf("velk: no section %s in the control file", section), call. = FALSE)
  end <- c(heads[heads > start[1]], length(lines) + 1)[1]
  at <- start[1] + which(startsWith(tolower(lines[seq_len(end - start[1] - 1) + start[1]]),
                                    tolower(paste0(keyword, ":"))))
  line <- if (is.null(value)) character(0) else paste0(keyword, ": ", value)
  if (length(at) > 0) return(append(lines[-at], line, after = at[1] - 1))
  append(lines, line, after = end - 1)
}

# The model line of a control file and the comment that says what it is.
velk_set_model <- function(lines, model) {
  comment <- grep("^\\\\ Rannala-Mountain model:", lines)
  said <- switch(model,
    "rannala-mountain" = lines[comment],
    "predictive" = paste0("\\ Predictive genotype model: a genotype's probability is that of its ",
                          "two gene copies given the baseline counts and a prior of 1/k per type."),
    "plain" = "\\ Plain model: the baseline's type frequencies as they are, no prior.")
  if (length(comment) > 0) lines[comment] <- said
  lines <- velk_set_keyword(lines, "Options", "Rannala-Mountain model",
                            if (model == "plain") NULL else "yes")
  velk_set_keyword(lines, "Options", "Predictive genotype model",
                   if (model == "predictive") "yes" else NULL)
}

velk_set_seed <- function(lines, seed) {
  if (is.null(seed)) return(lines)
  seed <- as.integer(seed)
  if (length(seed) < 1 || length(seed) > 2 || anyNA(seed))
    stop("velk: seed is one or two whole numbers", call. = FALSE)
  lines <- velk_set_keyword(lines, "Parameters", "Random seed", seed[1])
  velk_set_keyword(lines, "Parameters", "Second random seed", seed[length(seed)])
}

velk_edit_control <- function(file, edit) {
  lines <- readLines(file)
  writeLines(edit(lines), file)
  invisible(file)
}

# Runs a control file in process; its messages as R conditions.
velk_run_control <- function(file, threads = 0L) {
  outcome <- .velk_run(normalizePath(file), as.integer(threads))
  velk_signal(outcome$messages, basename(file))
  if (outcome$aborted) stop(sprintf("velk %s: %s", basename(file), outcome$status), call. = FALSE)
  outcome
}

# --------------------------------------------------------------- the tables

# The names of a table stay text, whatever they look like.
velk_text_columns <- c("mixture_collection", "name", "id", "indiv", "population_name",
                       "level1_region_name", "title", "population", "region",
                       "assigned_population", "assigned_region", "scenario", "estimated", "unit")

velk_read_csv <- function(file) {
  if (!file.exists(file)) return(NULL)
  header <- names(utils::read.csv(file, nrows = 1, check.names = FALSE))
  text <- intersect(header, velk_text_columns)
  utils::read.csv(file, stringsAsFactors = FALSE, na.strings = "", check.names = FALSE,
                  colClasses = stats::setNames(rep("character", length(text)), text))
}

# The output base of a control file: its "Output file" (or the control file's
# own name), beside the control file.
velk_output_base <- function(ctl) {
  lines <- readLines(ctl)
  out <- grep("^Output file:", lines, value = TRUE, ignore.case = TRUE)
  base <- if (length(out)) trimws(sub("^[^:]*:", "", out[1])) else sub("\\.ctl$", "", basename(ctl))
  if (!grepl("^/", base)) base <- file.path(dirname(ctl), base)
  base
}

# The first-level regions' names by their number, from an estimates table.
velk_region_names <- function(estimates) {
  regions <- estimates[estimates$level == 1, ]
  stats::setNames(as.character(regions$name), as.character(regions$id))
}

velk_proportions <- function(estimates) {
  regions <- estimates[estimates$level == 1, ]
  pops <- estimates[estimates$level == 0, ]
  region_name <- velk_region_names(estimates)
  shaped <- function(rows, repunit, collection, value) {
    frame <- tibble::tibble(mixture_collection = as.character(rows$mixture_collection),
                            repunit = repunit)
    if (!is.null(collection)) frame$collection <- collection
    frame[[value]] <- rows$estimate
    for (column in c("std_error", "normal_lower", "normal_upper", "likelihood_lower",
                     "likelihood_upper"))
      frame[[column]] <- rows[[column]]
    frame
  }
  mixing <- shaped(pops, unname(region_name[as.character(pops$level1_region)]),
                   as.character(pops$name), "pi")
  repunit <- shaped(regions, as.character(regions$name), NULL, "repprop")
  list(mixing_proportions = mixing, repunit_proportions = repunit)
}

velk_posteriors <- function(individuals, posteriors, estimates) {
  if (is.null(posteriors) || is.null(individuals)) return(NULL)
  region_name <- velk_region_names(estimates)
  fish <- match(posteriors$record, individuals$record)
  tibble::tibble(mixture_collection = as.character(posteriors$mixture_collection),
                 indiv = as.character(posteriors$id),
                 repunit = unname(region_name[as.character(posteriors$level1_region)]),
                 collection = as.character(posteriors$population_name),
                 PofZ = posteriors$posterior,
                 log_likelihood = individuals$log_likelihood[fish],
                 z_score = individuals$z_score[fish],
                 n_non_miss_loci = as.integer(individuals$characters_scored[fish]))
}

#' @export
velk_read <- function(ctl) {
  if (!file.exists(ctl)) stop(sprintf("velk: no control file %s", ctl), call. = FALSE)
  base <- velk_output_base(ctl)
  estimates <- velk_read_csv(paste0(base, ".estimates.csv"))
  run <- velk_read_csv(paste0(base, ".run.csv"))
  if (is.null(estimates) || is.null(run))
    stop(sprintf("velk: %s has no tables: run it with \"Print tables: yes\"", ctl), call. = FALSE)
  result <- velk_proportions(estimates)
  result$indiv_posteriors <- velk_posteriors(velk_read_csv(paste0(base, ".individuals.csv")),
                                             velk_read_csv(paste0(base, ".posteriors.csv")), estimates)
  bayes <- velk_read_csv(paste0(base, ".bayes.csv"))
  if (!is.null(bayes)) result$bayes <- tibble::as_tibble(bayes)
  result$run <- tibble::as_tibble(run)
  result
}

velk_bind <- function(results, part) {
  rows <- lapply(results, `[[`, part)
  rows <- rows[!vapply(rows, is.null, logical(1))]
  if (length(rows) == 0) return(NULL)
  tibble::as_tibble(do.call(rbind, lapply(rows, as.data.frame)))
}

# ------------------------------------------------------------- the analyses

#' @export
velk_mixture <- function(reference, mixture, gen_start_col = 5, model = c("rannala-mountain", "predictive", "plain"),
                         method = c("ML", "Bayes"), intervals = TRUE, seed = NULL,
                         threads = 0L) {
  model <- match.arg(model)
  method <- match.arg(method)
  imported <- velk_import_frames(reference, mixture, gen_start_col)
  controls <- imported$outcome$analyses
  if (length(controls) == 0) stop("velk: the mixture data frame holds no individual", call. = FALSE)
  results <- list()
  messages <- list()
  for (ctl in controls) {
    velk_edit_control(ctl, function(lines) {
      lines <- velk_set_model(lines, model)
      if (!intervals) {
        lines <- velk_set_keyword(lines, "Options", "Compute jackknife", NULL)
        lines <- velk_set_keyword(lines, "Options", "Compute confidence intervals", NULL)
      }
      if (method == "Bayes") lines <- velk_set_keyword(lines, "Options", "Bayesian estimate", "yes")
      velk_set_seed(lines, seed)
    })
    outcome <- velk_run_control(ctl, threads)
    results[[ctl]] <- velk_read(ctl)
    said <- outcome$messages[outcome$messages$severity > 0, ]
    results[[ctl]]$run$messages <- paste(sprintf("%d: %s", said$number, gsub("\n", " ", said$text)),
                                         collapse = "\n")
    messages[[ctl]] <- outcome$messages
  }
  list(mixing_proportions = velk_bind(results, "mixing_proportions"),
       repunit_proportions = velk_bind(results, "repunit_proportions"),
       indiv_posteriors = velk_bind(results, "indiv_posteriors"),
       bayes = velk_bind(results, "bayes"),
       run = velk_bind(results, "run"),
       messages = tibble::as_tibble(do.call(rbind, lapply(names(messages), function(ctl)
         cbind(data.frame(control_file = basename(ctl), stringsAsFactors = FALSE), messages[[ctl]])))),
       dir = imported$dir)
}

#' @export
velk_self_assign <- function(reference, gen_start_col = 5, model = c("rannala-mountain", "predictive", "plain"), threads = 0L) {
  model <- match.arg(model)
  imported <- velk_import_frames(reference, NULL, gen_start_col)
  ctl <- file.path(imported$dir, paste0(imported$name, "_loo.ctl"))
  velk_edit_control(ctl, function(lines) velk_set_model(lines, model))
  velk_run_control(ctl, threads)
  table <- velk_read_csv(paste0(velk_output_base(ctl), ".loo.csv"))
  names(table)[names(table) == "id"] <- "indiv"
  tibble::as_tibble(table)
}

#' @export
velk_hundred_percent <- function(reference, gen_start_col = 5, by = c("repunit", "collection"),
                                 reps = 200, mixsize = 200, seed = c(2026, 1207),
                                 model = c("rannala-mountain", "predictive", "plain"), threads = 0L) {
  by <- match.arg(by)
  model <- match.arg(model)
  imported <- velk_import_frames(reference, NULL, gen_start_col)
  ctl <- file.path(imported$dir, paste0(imported$name, "_hundred.ctl"))
  velk_edit_control(ctl, function(lines) {
    lines <- velk_set_model(lines, model)
    lines <- velk_set_keyword(lines, "Options", "Hundred percent simulations",
                              if (by == "repunit") "yes by region" else "yes by population")
    lines <- velk_set_keyword(lines, "Parameters", "Number of resamples", as.integer(reps))
    lines <- velk_set_keyword(lines, "Parameters", "Mixture sample size", as.integer(mixsize))
    lines <- velk_set_keyword(lines, "Parameters", "Maximum number of genotypes", as.integer(mixsize))
    velk_set_seed(lines, seed)
  })
  velk_run_control(ctl, threads)
  table <- velk_read_csv(paste0(velk_output_base(ctl), ".hps.csv"))
  tibble::as_tibble(table)
}
