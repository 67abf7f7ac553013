# A small baseline of two populations in two regions and a mixture, as the
# field's data frames: sample_type, repunit, collection, indiv, two columns a locus.
small_frames <- function() {
  old <- if (exists(".Random.seed", globalenv())) get(".Random.seed", globalenv())
  on.exit(if (!is.null(old)) assign(".Random.seed", old, globalenv()))
  set.seed(20261207)
  loci <- 20
  fish <- function(type, repunit, collection, n, common) {
    genotypes <- lapply(seq_len(2 * loci), function(k)
      sample(1:3, n, replace = TRUE, prob = if (common == 1) c(0.7, 0.2, 0.1) else c(0.1, 0.3, 0.6)))
    names(genotypes) <- paste0("L", rep(seq_len(loci), each = 2), c("", ".1"))
    cbind(data.frame(sample_type = type, repunit = repunit, collection = collection,
                     indiv = paste0(collection, "_", type, seq_len(n)), stringsAsFactors = FALSE),
          as.data.frame(genotypes, check.names = FALSE))
  }
  reference <- rbind(fish("reference", "North", "PopA", 15, 1), fish("reference", "South", "PopB", 15, 2))
  mixture <- rbind(fish("mixture", NA_character_, "fishery", 6, 1), fish("mixture", NA_character_, "fishery", 4, 2))
  mixture$indiv <- paste0("fish", seq_len(nrow(mixture)))
  list(reference = reference, mixture = mixture)
}

# The chinook table of the project's shared data, or NULL (the test says why it skips).
chinook_table <- function() {
  source_dir <- Sys.getenv("VELK_SOURCE_DIR", "")
  candidates <- c(Sys.getenv("VELK_CHINOOK_CSV", ""),
                  if (nzchar(source_dir)) file.path(source_dir, "..", "shared", "data", "chinook",
                                                    "chinook_genotypes.csv"))
  found <- candidates[nzchar(candidates) & file.exists(candidates)]
  if (length(found) == 0) return(NULL)
  normalizePath(found[1])
}

velk_command <- function() {
  source_dir <- Sys.getenv("VELK_SOURCE_DIR", "")
  command <- file.path(source_dir, "build", "velk")
  if (nzchar(source_dir) && file.exists(command)) command else ""
}
