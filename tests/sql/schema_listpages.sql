-- List-page definition tables of the web database application: views and
-- their saved filters, search filters and conditions, layouts with rows,
-- columns, items and item formats, totals, and the id counters. Loaded by
-- tests/support/rvschema.cpp (rvschemaLoadListPages) next to
-- schema_tables.sql; sample_listpages.sql holds the sample rows.
--
-- Ids are integers: the statements compare them quoted ('12') and unquoted
-- (12). Values that are stored empty ('') in the samples are text types.

CREATE TABLE rv_view (
  tbl_id         integer NOT NULL,
  view_id        integer NOT NULL,
  view_name      varchar(256),
  seqno          integer,
  l_layout_id    integer,
  i_layout_id    integer,
  d_layout_id    integer,
  l_sort1_col_id varchar(16),   -- written as a number, read as text
  l_sort1_order  varchar(1),    -- 'a', 'd'; '' reads as no direction
  l_sort2_col_id varchar(16),
  l_sort2_order  varchar(1),
  l_sort3_col_id varchar(16),
  l_sort3_order  varchar(1),
  rows_per_page  integer,
  dispflg        varchar(1),
  defflg         varchar(1),
  PRIMARY KEY (tbl_id, view_id)
);

-- Filters linked to a view; a link may outlive its filter.
CREATE TABLE rv_view_sfilters (
  tbl_id    integer NOT NULL,
  view_id   integer NOT NULL,
  filter_id integer NOT NULL,
  PRIMARY KEY (tbl_id, view_id, filter_id)
);

CREATE TABLE rv_search_filter (
  tbl_id      integer NOT NULL,
  filter_id   integer NOT NULL,
  filter_name varchar(256),
  condition   varchar(1),       -- '&' all, '|' any
  seqno       integer,
  PRIMARY KEY (tbl_id, filter_id)
);

CREATE TABLE rv_search_cond (
  tbl_id        integer NOT NULL,
  filter_id     integer NOT NULL,
  cond_id       integer NOT NULL,
  col_id        varchar(16),    -- '' or NULL: any column
  comp_type     varchar(16),
  comp_val_type integer,
  comp_val      text,
  seqno         integer,
  PRIMARY KEY (tbl_id, filter_id, cond_id)
);

CREATE TABLE rv_layout (
  tbl_id            integer NOT NULL,
  layout_id         integer NOT NULL,
  layout_type       varchar(1),  -- 'l' list, 'd' detail
  layout_table_cols varchar(4),  -- detail layouts only
  PRIMARY KEY (tbl_id, layout_id)
);

CREATE TABLE rv_layout_row (
  tbl_id            integer NOT NULL,
  layout_id         integer NOT NULL,
  layout_row_id     integer NOT NULL,
  seqno             integer,
  layout_cols       integer,
  layout_row_height integer,
  layout_row_type   varchar(1),  -- 'n', 'e', 's'
  PRIMARY KEY (tbl_id, layout_id, layout_row_id)
);

CREATE TABLE rv_layout_col (
  tbl_id         integer NOT NULL,
  layout_id      integer NOT NULL,
  layout_row_id  integer NOT NULL,
  layout_col_id  integer NOT NULL,   -- may be negative
  layout_item_id varchar(16),
  PRIMARY KEY (tbl_id, layout_id, layout_row_id, layout_col_id)
);

CREATE TABLE rv_layout_item (
  tbl_id           integer NOT NULL,
  layout_item_id   varchar(16) NOT NULL,
  layout_item_type varchar(1),       -- '0' column of the table, '1' related item
  col_id           varchar(16),
  rel_tbl_id       varchar(16),
  rel_col_id       varchar(16),
  PRIMARY KEY (tbl_id, layout_item_id)
);

-- Values are texts so that empty values ('') can be stored; no key, so that
-- one item may have two formats in a layout.
CREATE TABLE rv_layout_item_format (
  tbl_id         integer NOT NULL,
  layout_id      integer NOT NULL,
  layout_item_id varchar(16) NOT NULL,
  width          varchar(16),
  t_bgcolor varchar(16), t_align varchar(1), t_valign varchar(1),
  t_fontsize varchar(2), t_fontcolor varchar(16), t_fontstyle varchar(1),
  d_bgcolor varchar(16), d_align varchar(1), d_valign varchar(1),
  d_fontsize varchar(2), d_fontcolor varchar(16), d_fontstyle varchar(1),
  rel_title   text,
  rel_view_id varchar(16),
  img_width   varchar(8),
  img_height  varchar(8)
);

CREATE TABLE rv_total (
  tbl_id integer NOT NULL, total_id integer NOT NULL, total_name varchar(256),
  tval_type varchar(8), tval_col_id varchar(16), tval_sorder varchar(8),
  sub1_col_id varchar(16), sub1_opt varchar(8), sub1_sorder varchar(8),
  sub2_col_id varchar(16), sub2_opt varchar(8), sub2_sorder varchar(8),
  sub3_col_id varchar(16), sub3_opt varchar(8), sub3_sorder varchar(8),
  crosstab varchar(8), crosstab_col_id varchar(16), crosstab_opt varchar(8),
  sort_col varchar(16), seqno integer,
  PRIMARY KEY (tbl_id, total_id)
);

-- Last id handed out per table and counter ('VIEW', 'LAYOUTID').
CREATE TABLE rv_tbl_last_id (
  tbl_id  integer     NOT NULL,
  cname   varchar(32) NOT NULL,
  last_id integer     NOT NULL,
  PRIMARY KEY (tbl_id, cname)
);
